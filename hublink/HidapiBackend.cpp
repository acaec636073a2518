#include "HidapiBackend.h"

#include "UdevMonitor.h"

#include <hidapi/hidapi.h>

#include <cerrno>
#include <unistd.h>

namespace hublink {

namespace {

class HidapiHandle : public HidHandle {
public:
    explicit HidapiHandle(hid_device* d) : dev(d) {}
    ~HidapiHandle() override { hid_close(dev); }
    hid_device* dev;
};

} // namespace

HidapiBackend::HidapiBackend() {
    hid_init();
}

HidapiBackend::~HidapiBackend() {
    FMonitor.reset();
    hid_exit();
}

std::vector<HidDeviceInfo> HidapiBackend::enumerate() {
    std::vector<HidDeviceInfo> result;
    hid_device_info* list = hid_enumerate(0, 0);
    for (hid_device_info* i = list; i; i = i->next) {
        if (!i->path)
            continue;
        // hidapi lists one entry per top-level collection; one node is one device here.
        bool seen = false;
        for (const auto& r : result)
            seen = seen || r.path == i->path;
        if (!seen)
            result.push_back({i->path, i->vendor_id, i->product_id});
    }
    hid_free_enumeration(list);
    return result;
}

std::unique_ptr<HidHandle> HidapiBackend::open(const std::string& path, OpenResult* result) {
    hid_device* dev = hid_open_path(path.c_str());
    if (dev) {
        if (result)
            *result = OpenResult::Ok;
        return std::make_unique<HidapiHandle>(dev);
    }
    if (result) {
        // hidapi keeps no errno; ask the node itself why it cannot be opened.
        const bool denied = ::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
        *result = denied ? OpenResult::PermissionDenied : OpenResult::Failed;
    }
    return nullptr;
}

int HidapiBackend::write(HidHandle& handle, const std::uint8_t* data, std::size_t length) {
    return hid_write(static_cast<HidapiHandle&>(handle).dev, data, length);
}

int HidapiBackend::readTimeout(HidHandle& handle, std::uint8_t* buf, std::size_t length,
                               int timeoutMs) {
    if (length < 2)
        return -1;
    // The hub's reports are not numbered, so hidraw delivers them without the ID byte.
    const int n =
        hid_read_timeout(static_cast<HidapiHandle&>(handle).dev, buf + 1, length - 1, timeoutMs);
    if (n <= 0)
        return n;
    buf[0] = 0;
    return n + 1;
}

void HidapiBackend::setChangeCallback(std::function<void()> notify) {
    FMonitor.reset();
    if (notify)
        FMonitor = std::make_unique<UdevMonitor>(std::move(notify));
}

} // namespace hublink
