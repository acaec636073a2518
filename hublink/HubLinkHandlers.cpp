// The main window's side of the hub link: choosing the hub, the command exchange and the
// reply buffer.
#include "HidIap.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QTimer>

#include <chrono>
#include <thread>

using namespace hublink;

namespace {

constexpr int SEND_ATTEMPTS = 3;
constexpr int REPLY_TIMEOUT_MS = 100;
constexpr auto WRITE_PAUSE = std::chrono::milliseconds(2);
constexpr int HUB_INPUT_BUFFERS = 128;

bool IsHub(const HidDeviceInfo& info) {
    return info.vendorId == HUB_VENDOR_ID && info.productId == HUB_PRODUCT_ID;
}

} // namespace

void TfrmMain::ShowLamp(int image) {
    imgIndicator->setPixmap(ilLED[static_cast<std::size_t>(image)]);
    imgIndicator->repaint();
}

void TfrmMain::DevicesChanged() {
    try {
        // Releasing a hub stops its reader; that may serve a last hand-over, and other
        // handlers may run meanwhile, so work on a copy of the list.
        const auto held = FHubList;
        for (const auto& d : held)
            FHidCtl->CheckIn(d);
        FHubList.clear();
        cbbPort->clear();
        // Only hubs are taken: other HID devices are never opened.
        while (THidDevicePtr d = FHidCtl->CheckOut(IsHub)) {
            cbbPort->addItem(QStringLiteral("Hub%1").arg(0));
            FHubList.push_back(d);
            d->SetNumInputBuffers(HUB_INPUT_BUFFERS); // writing side
            d->SetNumInputBuffers(HUB_INPUT_BUFFERS); // reading side
        }
        FHub.reset();
        ShowLamp(1);
        if (FHubList.empty())
            return;
        cbbPort->setCurrentIndex(0);
        const THidDevicePtr hub = FHubList.front();
        hub->SetOnData([this](THidDevice* dev, std::uint8_t id, const std::uint8_t* data,
                              std::uint16_t size) { DeviceData(dev, id, data, size); });
        FHub = hub;
        ShowLamp(0);
        if (chkAutoPRG->isChecked() && !UpdateInProgress)
            AutoUpdatePending = true;
    } catch (...) {
        // Whatever was done so far stays.
    }
}

bool TfrmMain::RescanDevices() {
    FHidCtl->Scan();
    return FHub != nullptr;
}

int TfrmMain::SendFrame(std::uint8_t command, TFrameRequest request) {
    if (request.dataLength() + FRAME_OVERHEAD > FRAME_SIZE)
        return -1;
    if (!FHub)
        return -1;
    for (int attempt = 0; attempt < SEND_ATTEMPTS; ++attempt) {
        if (SendFrameSub(command, request) == 0)
            return FReply[REPLY_POS_STATUS];
    }
    return -1;
}

int TfrmMain::SendFrameSub(std::uint8_t command, const TFrameRequest& request) {
    OutputReport report{};
    if (!BuildOutputReport(command, request, report))
        return -1;
    // The hub may have been replaced or removed inside an earlier wait.
    const THidDevicePtr hub = FHub;
    if (!hub || !hub->WriteOutputReport(report.data(),
                                        static_cast<std::size_t>(hub->OutputReportByteLength())))
        return -1;
    // A plain pause: nothing is handed over before the wait clears the reply buffer.
    std::this_thread::sleep_for(WRITE_PAUSE);
    return WaitReply();
}

int TfrmMain::WaitReply() {
    FReply.fill(0);
    const auto start = std::chrono::steady_clock::now();
    // Block in the event loop until the next event or the deadline, instead of spinning: a
    // handed-over report is an event, so it is taken up in the first pass after it arrives.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (FReply[0] == FRAME_SYNC)
            return 0;
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count();
        if (elapsed > REPLY_TIMEOUT_MS)
            return -1;
        wake.start(static_cast<int>(REPLY_TIMEOUT_MS + 1 - elapsed));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void TfrmMain::DeviceData(THidDevice*, std::uint8_t, const std::uint8_t* Data, std::uint16_t Size) {
    const std::size_t n = std::min<std::size_t>(Size, FReply.size());
    std::copy(Data, Data + n, FReply.begin());
}
