#include "UdevMonitor.h"

#include <QSocketNotifier>

#include <libudev.h>

namespace hublink {

UdevMonitor::UdevMonitor(std::function<void()> notify) : FNotify(std::move(notify)) {
    FUdev = udev_new();
    if (!FUdev)
        return;
    FMonitor = udev_monitor_new_from_netlink(FUdev, "udev");
    if (!FMonitor)
        return;
    if (udev_monitor_filter_add_match_subsystem_devtype(FMonitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(FMonitor) < 0)
        return;
    const int fd = udev_monitor_get_fd(FMonitor);
    if (fd < 0)
        return;
    FNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] { OnActivated(); });
}

UdevMonitor::~UdevMonitor() {
    delete FNotifier;
    if (FMonitor)
        udev_monitor_unref(FMonitor);
    if (FUdev)
        udev_unref(FUdev);
}

void UdevMonitor::OnActivated() {
    // Drain every queued event; one scan covers them all.
    bool any = false;
    while (udev_device* dev = udev_monitor_receive_device(FMonitor)) {
        udev_device_unref(dev);
        any = true;
    }
    if (any && FNotify)
        FNotify();
}

} // namespace hublink
