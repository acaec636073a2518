#pragma once

#include "HidBackend.h"

#include <memory>

// The production backend: hidapi over hidraw for the devices, a libudev monitor on the
// "hidraw" subsystem for plug and unplug.
namespace hublink {

class UdevMonitor;

class HidapiBackend : public HidBackend {
public:
    HidapiBackend();
    ~HidapiBackend() override;

    std::vector<HidDeviceInfo> enumerate() override;
    std::unique_ptr<HidHandle> open(const std::string& path, OpenResult* result) override;
    int write(HidHandle& handle, const std::uint8_t* data, std::size_t length) override;
    int readTimeout(HidHandle& handle, std::uint8_t* buf, std::size_t length,
                    int timeoutMs) override;
    void setChangeCallback(std::function<void()> notify) override;

private:
    std::unique_ptr<UdevMonitor> FMonitor;
};

} // namespace hublink
