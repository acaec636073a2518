// Input reports of any length and content, handed over by the real HID layer (reader thread,
// hand-over to the UI thread, DeviceData) into the real window's reply wait, over the emulated
// hub. The input is a sequence of reports: one byte gives the length (1..65), the next bytes
// the content (report ID first). They are queued on the hub's handles just before one of the
// window's exchanges is started, so they reach FReply during its waits, ahead of the hub's own
// reply. Checked: no crash or out-of-range access (ASan/UBSan), the exchange ends in its bounded
// time, its result is a status or -1, and the hub saw no frame that breaks the rules.
//
// One window serves every input: creating one per input would cost more than the exchange.
#include "EmulatedHub.h"
#include "HidIap.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace hublink;

namespace {

struct World {
    std::unique_ptr<QApplication> app;
    std::unique_ptr<emuhub::EmulatedBus> bus;
    emuhub::EmulatedHub* hub = nullptr;
    std::unique_ptr<TfrmMain> w;
};
World* world = nullptr;

void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

bool PumpUntil(const std::function<bool()>& cond, int ms) {
    QElapsedTimer t;
    t.start();
    while (!cond() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return cond();
}

// A report after all others, so the queue can be drained before the next input.
const emuhub::Bytes MARKER{0x00, 0x77, 0xEE, 0x11, 0x99};
bool MarkerSeen() {
    const auto& r = world->w->FReply;
    return r[0] == 0x77 && r[1] == 0xEE && r[2] == 0x11 && r[3] == 0x99;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    world = new World;
    world->app = std::make_unique<QApplication>(*argc, *argv);
    world->bus = std::make_unique<emuhub::EmulatedBus>();
    world->hub = &world->bus->addHub();
    world->bus->setQueueCapacity(1024); // every report of an input is kept
    world->bus->setTraceLimit(20000);
    world->hub->plug();
    world->w = std::make_unique<TfrmMain>(*world->bus);
    world->w->show();
    Require(PumpUntil([] { return world->w->FHub && world->w->FHub->HasReader(); }, 5000),
            "the hub is selected at start");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    TfrmMain& w = *world->w;
    emuhub::EmulatedHub& hub = *world->hub;
    world->bus->clearTrace();

    // First byte: which exchange, and whether the hub answers at all.
    const std::uint8_t mode = data[0];
    hub.setSilent(mode & 0x80);
    std::size_t i = 1;
    int reports = 0;
    while (i < size && reports < 64) {
        const std::size_t len = 1 + data[i++] % 65;
        emuhub::Bytes r(len, 0);
        for (std::size_t k = 0; k < len && i < size; ++k)
            r[k] = data[i++];
        Require(hub.injectReport(r), "a report of 1..65 bytes is accepted");
        ++reports;
    }

    QElapsedTimer t;
    t.start();
    switch (mode % 5) {
    case 0: {
        TFrameRequest request;
        const int result = w.SendFrame(CMD_GET_VERSION, request);
        Require(result >= -1 && result <= 255, "a status or -1");
        if (result >= 0)
            Require(w.FReply[0] == 0x55, "a status only with a reply present");
        break;
    }
    case 1: {
        const int state = w.QueryRunState();
        Require(state >= 0 && state <= 2, "a run state");
        break;
    }
    case 2:
        w.btnStartAdjClick();
        break; // slider positions from the reply bytes
    case 3:
        w.btnReadClick();
        break; // running data decoded from the reply bytes
    case 4:
        w.btnConnectClick();
        break; // the version from the reply bytes
    }
    // Three attempts of a little over 100 ms, plus the exchanges a read sends for the sliders
    // it moves (eight at most, each with its own three attempts), plus slack for the sanitizers.
    Require(t.elapsed() < 12000, "the exchange ends in bounded time");

    hub.setSilent(false);
    hub.injectReport(MARKER);
    Require(PumpUntil(MarkerSeen, 5000), "every report is handed over");
    Require(!world->bus->trace().anyRuleBroken(), "no frame breaks the rules");
    return 0;
}
