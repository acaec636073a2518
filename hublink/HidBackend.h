#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The narrow seam under the HID layer, shaped like hidapi's calls. The production backend is
// hidapi (hidraw); the emulated hub is a second backend, so tests and the demo run the same
// scan, reader-thread and hand-over code as a real hub.
//
// Threads: enumerate, open, close and setChangeCallback run on the UI thread only. write runs
// on the UI thread; readTimeout runs on a reader thread, on a handle of its own (a device is
// opened twice, so the two never share a handle). close is never called while a reader still
// uses that handle.
namespace hublink {

struct HidDeviceInfo {
    std::string path; // unique per enumeration of a device; changes when it re-enumerates
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

enum class OpenResult { Ok, PermissionDenied, Failed };

class HidHandle {
public:
    virtual ~HidHandle() = default;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;

    virtual std::vector<HidDeviceInfo> enumerate() = 0;

    // Opens the device for reading and writing. nullptr on failure, with the reason in *result.
    virtual std::unique_ptr<HidHandle> open(const std::string& path, OpenResult* result) = 0;

    // Writes one output report (report ID first). Bytes written, or -1.
    virtual int write(HidHandle& handle, const std::uint8_t* data, std::size_t length) = 0;

    // Reads one input report into buf, report ID first (0 for the hub, whose reports are not
    // numbered: hidraw delivers them without the ID byte, so the hidapi backend puts it back).
    // Returns the bytes stored (65 for a full hub report), 0 after timeoutMs without a report,
    // -1 on an error (a disconnect and an interrupted call alike).
    virtual int readTimeout(HidHandle& handle, std::uint8_t* buf, std::size_t length,
                            int timeoutMs) = 0;

    virtual void close(std::unique_ptr<HidHandle> handle) { handle.reset(); }

    // Registers the function to call when devices may have been added or removed. It may be
    // called on any thread; the HID layer moves the scan to the UI thread.
    virtual void setChangeCallback(std::function<void()> notify) = 0;
};

} // namespace hublink
