#pragma once

#include "HidBackend.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The HID layer: knows the HID devices present, hands devices out to the program, writes
// output reports and runs one reader thread per opened device that hands every input report
// to the UI thread.
//
// Threads: every public call is made on the UI thread. Reader threads only call
// HidBackend::readTimeout on their own handle and wait for the UI thread to take each report.
namespace hublink {

class THidController;
struct ReaderState;

class THidDevice;
// An input report handed over on the UI thread: ReportID is the first byte read, Data the
// others, Size their number.
using TJvHidDataEvent = std::function<void(THidDevice* HidDev, std::uint8_t ReportID,
                                           const std::uint8_t* Data, std::uint16_t Size)>;

// A HID device as handed out by the layer. A device that leaves the bus and comes back, or is
// released and taken again, is a new object. Objects are shared: the program may keep one
// after the layer has let it go; every operation on such an object simply fails.
class THidDevice : public std::enable_shared_from_this<THidDevice> {
public:
    ~THidDevice();

    const std::string& Path() const { return FInfo.path; }
    std::uint16_t VendorID() const { return FInfo.vendorId; }
    std::uint16_t ProductID() const { return FInfo.productId; }
    bool IsPluggedIn() const { return FPlugged; }
    bool IsCheckedOut() const { return FCheckedOut; }
    bool HasReader() const { return FReader != nullptr; }

    // Report lengths including the report ID byte: 65 for the hub's 64-byte reports.
    int OutputReportByteLength() const { return 65; }
    int InputReportByteLength() const { return 65; }
    // hidraw queues reports per open file; there is nothing to set on Linux.
    void SetNumInputBuffers(int) {}

    // Synchronous write of one output report; opens the device for writing on first use.
    bool WriteOutputReport(const std::uint8_t* data, std::size_t length);

    // A handler starts the reader (held, plugged devices only, once); an empty handler stops
    // it and returns after it has ended, serving pending hand-overs meanwhile.
    void SetOnData(TJvHidDataEvent handler);

private:
    friend class THidController;
    friend struct ReaderState;
    THidDevice(THidController* owner, HidDeviceInfo info) : FOwner(owner), FInfo(std::move(info)) {}
    bool OpenWrite();
    void StopReader();
    void CloseHandles();

    THidController* FOwner;
    HidDeviceInfo FInfo;
    bool FPlugged = true;
    bool FCheckedOut = false;
    bool FDeniedReported = false;
    std::unique_ptr<HidHandle> FWriteHandle;
    std::shared_ptr<ReaderState> FReader;
    TJvHidDataEvent FOnData;
};

using THidDevicePtr = std::shared_ptr<THidDevice>;

class THidController : public QObject {
    Q_OBJECT
public:
    // The backend must outlive the controller.
    explicit THidController(HidBackend& backend, QObject* owner = nullptr);
    ~THidController() override;

    // Setting the change handler runs a scan at once. In addition one scan runs once the event
    // loop runs and reports a change in any case.
    void SetOnDeviceChange(std::function<void()> handler);

    // Compares the devices present with the known ones; runs the change handler before it
    // returns when a device was added or removed. Returns whether anything changed.
    bool Scan();

    // The next known, present device not handed out yet whose attributes the filter accepts
    // (all, without one), opened for writing; nullptr when none is left.
    THidDevicePtr CheckOut(const std::function<bool(const HidDeviceInfo&)>& accept = nullptr);
    // Stops the device's reader and closes its handles; a plugged device is offered again, as
    // a new object.
    void CheckIn(const THidDevicePtr& device);

    HidBackend& Backend() { return FBackend; }
    std::size_t KnownCount() const { return FDevices.size(); }

    // Called when a hub is present but its node cannot be opened for lack of permission,
    // once per appearance of the device. The default prints a warning to standard error.
    std::function<void(const HidDeviceInfo&)> OnPermissionDenied;

    // How often Scan() has run (for tests and figures).
    int ScanCount() const { return FScanCount; }

protected:
    void customEvent(QEvent* e) override;

private:
    friend class THidDevice;
    friend struct ReaderState;
    bool ScanImpl(bool reportAnyway);

    HidBackend& FBackend;
    std::vector<THidDevicePtr> FDevices;
    std::function<void()> FOnDeviceChange;
    bool FInScan = false;
    bool FRescanWanted = false;
    bool FRescanReport = false;
    int FScanCount = 0;
};

// The warning printed when a hub cannot be opened for lack of permission.
std::string PermissionDeniedWarning(const HidDeviceInfo& info);

} // namespace hublink
