#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Watches the "hidraw" subsystem for added and removed nodes. Events come from the "udev"
// source, so they arrive after the node exists and its permissions are set. Lives on the UI
// thread; another platform can put a timer-driven scan in its place.
namespace hublink {

class UdevMonitor : public QObject {
    Q_OBJECT
public:
    explicit UdevMonitor(std::function<void()> notify);
    ~UdevMonitor() override;
    bool IsActive() const { return FNotifier != nullptr; }

private:
    void OnActivated();

    std::function<void()> FNotify;
    udev* FUdev = nullptr;
    udev_monitor* FMonitor = nullptr;
    QSocketNotifier* FNotifier = nullptr;
};

} // namespace hublink
