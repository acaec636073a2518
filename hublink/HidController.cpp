#include "HidController.h"

#include "Frame.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace hublink {

namespace {

// A read failure (a disconnect or EINTR alike) is retried after this pause; the scan decides
// whether the device is gone.
constexpr auto READ_RETRY_PAUSE = std::chrono::milliseconds(10);
// Reader threads see a stop request at least this often.
constexpr int READ_TIMEOUT_MS = 50;

const QEvent::Type HandOverEventType = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type ScanEventType = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type StartupScanEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

// State shared by one reader thread and the UI thread. The reader never touches the device
// object; it only reads from its own handle and waits for each hand-over to be taken.
struct ReaderState {
    HidBackend& backend;
    std::unique_ptr<HidHandle> handle;
    std::weak_ptr<THidDevice> device;
    QObject* receiver;

    std::mutex m;
    std::condition_variable cv;
    bool stop = false;
    bool pending = false;
    bool finished = false;
    std::uint8_t report[65] = {};
    int size = 0;
    std::thread thread;

    ReaderState(HidBackend& b, std::unique_ptr<HidHandle> h, std::weak_ptr<THidDevice> d,
                QObject* r)
        : backend(b), handle(std::move(h)), device(std::move(d)), receiver(r) {}

    void Run(const std::shared_ptr<ReaderState>& self);
};

namespace {

class HandOverEvent : public QEvent {
public:
    explicit HandOverEvent(std::shared_ptr<ReaderState> s)
        : QEvent(HandOverEventType), state(std::move(s)) {}
    std::shared_ptr<ReaderState> state;
};

} // namespace

void ReaderState::Run(const std::shared_ptr<ReaderState>& self) {
    std::uint8_t buf[65];
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m);
            if (stop)
                break;
        }
        const int n = backend.readTimeout(*handle, buf, sizeof buf, READ_TIMEOUT_MS);
        if (n < 0) {
            std::unique_lock<std::mutex> lock(m);
            cv.wait_for(lock, READ_RETRY_PAUSE, [this] { return stop; });
            continue;
        }
        if (n == 0)
            continue;
        std::unique_lock<std::mutex> lock(m);
        if (stop)
            break;
        std::copy(buf, buf + n, report);
        size = n;
        pending = true;
        QCoreApplication::postEvent(receiver, new HandOverEvent(self));
        // Wait until the UI thread has run the handler, or for a stop: a UI thread that waits
        // for this reader to end must never wait on us in turn.
        cv.wait(lock, [this] { return !pending || stop; });
    }
    std::lock_guard<std::mutex> lock(m);
    finished = true;
    cv.notify_all();
}

THidDevice::~THidDevice() {
    StopReader();
    CloseHandles();
}

bool THidDevice::OpenWrite() {
    if (FWriteHandle)
        return true;
    if (!FOwner || !FPlugged)
        return false;
    OpenResult result = OpenResult::Failed;
    FWriteHandle = FOwner->FBackend.open(FInfo.path, &result);
    if (!FWriteHandle && result == OpenResult::PermissionDenied && !FDeniedReported &&
        FInfo.vendorId == HUB_VENDOR_ID && FInfo.productId == HUB_PRODUCT_ID) {
        FDeniedReported = true;
        if (FOwner->OnPermissionDenied)
            FOwner->OnPermissionDenied(FInfo);
    }
    return FWriteHandle != nullptr;
}

bool THidDevice::WriteOutputReport(const std::uint8_t* data, std::size_t length) {
    if (!OpenWrite())
        return false;
    return FOwner->FBackend.write(*FWriteHandle, data, length) == static_cast<int>(length);
}

void THidDevice::SetOnData(TJvHidDataEvent handler) {
    if (!handler) {
        StopReader();
        FOnData = nullptr;
        return;
    }
    FOnData = std::move(handler);
    if (FReader || !FOwner || !FPlugged || !FCheckedOut || !OpenWrite())
        return;
    OpenResult result = OpenResult::Failed;
    auto readHandle = FOwner->FBackend.open(FInfo.path, &result);
    if (!readHandle)
        return;
    std::weak_ptr<THidDevice> self = weak_from_this();
    FReader = std::make_shared<ReaderState>(FOwner->FBackend, std::move(readHandle), self, FOwner);
    auto state = FReader;
    FReader->thread = std::thread([state] { state->Run(state); });
}

void THidDevice::StopReader() {
    if (!FReader)
        return;
    auto state = std::move(FReader);
    {
        std::lock_guard<std::mutex> lock(state->m);
        state->stop = true;
    }
    state->cv.notify_all();
    // Keep serving hand-overs while the reader winds down; it ends within one read time-out.
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::unique_lock<std::mutex> lock(state->m);
        if (state->cv.wait_for(lock, std::chrono::milliseconds(2), [&] { return state->finished; }))
            break;
    }
    state->thread.join();
    // Only now, with the reader gone, may its handle be closed.
    state->backend.close(std::move(state->handle));
}

void THidDevice::CloseHandles() {
    if (FWriteHandle && FOwner)
        FOwner->FBackend.close(std::move(FWriteHandle));
    FWriteHandle.reset();
}

THidController::THidController(HidBackend& backend, QObject* owner)
    : QObject(owner), FBackend(backend) {
    OnPermissionDenied = [](const HidDeviceInfo& info) {
        std::fprintf(stderr, "%s\n", PermissionDeniedWarning(info).c_str());
    };
    // Notifications may come from any thread; posting is thread-safe, and the scan itself
    // runs on the UI thread. The backend stops calling once the callback is replaced.
    FBackend.setChangeCallback(
        [this] { QCoreApplication::postEvent(this, new QEvent(ScanEventType)); });
    QCoreApplication::postEvent(this, new QEvent(StartupScanEventType));
}

THidController::~THidController() {
    FBackend.setChangeCallback(nullptr);
    auto devices = std::move(FDevices);
    for (auto& d : devices) {
        d->StopReader();
        d->CloseHandles();
        d->FCheckedOut = false;
        d->FPlugged = false;
        d->FOwner = nullptr;
    }
}

void THidController::SetOnDeviceChange(std::function<void()> handler) {
    FOnDeviceChange = std::move(handler);
    Scan();
}

void THidController::customEvent(QEvent* e) {
    if (e->type() == HandOverEventType) {
        auto state = static_cast<HandOverEvent*>(e)->state;
        std::uint8_t report[65];
        int size = 0;
        {
            std::lock_guard<std::mutex> lock(state->m);
            if (!state->pending)
                return;
            size = state->size;
            std::copy(state->report, state->report + size, report);
        }
        auto device = state->device.lock();
        // A report that arrives while its reader is being stopped still reaches the handler.
        if (device && device->FOnData && size >= 1)
            device->FOnData(device.get(), report[0], report + 1,
                            static_cast<std::uint16_t>(size - 1));
        {
            std::lock_guard<std::mutex> lock(state->m);
            state->pending = false;
        }
        state->cv.notify_all();
    } else if (e->type() == ScanEventType) {
        Scan();
    } else if (e->type() == StartupScanEventType) {
        ScanImpl(true);
    }
}

bool THidController::Scan() {
    return ScanImpl(false);
}

bool THidController::ScanImpl(bool reportAnyway) {
    if (FInScan) {
        // A scan asked for from inside the change handler runs once the current one is done.
        FRescanWanted = true;
        FRescanReport = FRescanReport || reportAnyway;
        return false;
    }
    FInScan = true;
    bool anyChange = false;
    bool report = reportAnyway;
    do {
        FRescanWanted = false;
        FRescanReport = false;
        ++FScanCount;
        const std::vector<HidDeviceInfo> present = FBackend.enumerate();
        bool changed = false;
        // Vanished devices: unplugged, handles closed, forgotten.
        for (auto it = FDevices.begin(); it != FDevices.end();) {
            const bool stillThere =
                std::any_of(present.begin(), present.end(),
                            [&](const HidDeviceInfo& i) { return i.path == (*it)->Path(); });
            if (stillThere) {
                ++it;
                continue;
            }
            auto d = *it;
            it = FDevices.erase(it);
            d->FPlugged = false;
            d->StopReader();
            d->CloseHandles();
            changed = true;
        }
        for (const HidDeviceInfo& info : present) {
            const bool known =
                std::any_of(FDevices.begin(), FDevices.end(),
                            [&](const THidDevicePtr& d) { return d->Path() == info.path; });
            if (known)
                continue;
            FDevices.push_back(THidDevicePtr(new THidDevice(this, info)));
            changed = true;
        }
        if ((changed || report) && FOnDeviceChange)
            FOnDeviceChange();
        anyChange = anyChange || changed;
        report = FRescanReport;
    } while (FRescanWanted);
    FInScan = false;
    return anyChange;
}

THidDevicePtr THidController::CheckOut(const std::function<bool(const HidDeviceInfo&)>& accept) {
    for (const auto& d : FDevices) {
        if (d->FCheckedOut || !d->FPlugged || (accept && !accept(d->FInfo)))
            continue;
        // A device that cannot be opened at all is not offered.
        if (!d->OpenWrite())
            continue;
        d->FCheckedOut = true;
        return d;
    }
    return nullptr;
}

void THidController::CheckIn(const THidDevicePtr& device) {
    if (!device || device->FOwner != this)
        return;
    device->StopReader();
    device->FOnData = nullptr;
    device->CloseHandles();
    device->FCheckedOut = false;
    // A released object is dead for good; a device still plugged is offered again as a new
    // object, so nobody keeps using a released one by mistake.
    for (auto& d : FDevices) {
        if (d == device) {
            d = THidDevicePtr(new THidDevice(this, device->FInfo));
            d->FDeniedReported = device->FDeniedReported;
            break;
        }
    }
    device->FOwner = nullptr;
    device->FPlugged = false;
}

std::string PermissionDeniedWarning(const HidDeviceInfo& info) {
    return "hidiap: warning: the hub at " + info.path +
           " cannot be opened (permission denied). Install the udev rule "
           "70-hidiap.rules (it grants the logged-in user access to the hub) and plug the hub "
           "in again; see the README, section Troubleshooting.";
}

} // namespace hublink
