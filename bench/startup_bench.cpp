// Start-up and memory of the main window over the emulated hub, offscreen:
//   - time from the process start (HIDIAP_T0, ns of CLOCK_REALTIME taken by the caller just
//     before exec; without it, from main) to the first painted frame of the main window;
//   - peak resident memory at rest (one second after start-up) and after one whole update.
#include "EmulatedHub.h"
#include "HidIap.h"
#include "HubImage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// VmHWM (peak resident set) and VmRSS of this process, in KiB.
std::pair<long, long> Memory() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long hwm = 0, rss = 0;
    while (status >> key) {
        if (key == "VmHWM:")
            status >> hwm;
        else if (key == "VmRSS:")
            status >> rss;
    }
    return {hwm, rss};
}

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace

int main(int argc, char** argv) {
    const long long mainNs = NowNs();
    const char* t0env = std::getenv("HIDIAP_T0");
    const long long t0 = t0env ? std::atoll(t0env) : mainNs;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    emuhub::EmulatedBus bus;
    emuhub::EmulatedHub& hub = bus.addHub();
    hub.setReenumerationDelays(emuhub::Ms(20), emuhub::Ms(30));
    hub.plug();
    TfrmMain w(bus);
    w.show();
    QElapsedTimer guard;
    guard.start();
    while (w.paintCount() == 0 && guard.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const double firstPaintMs = (NowNs() - t0) / 1e6;
    if (w.paintCount() == 0) {
        std::printf("no frame painted\n");
        return 1;
    }
    Pump(1000);
    const auto rest = Memory();

    hub.setExpectedImage(emuhub::RecordsOf(*FirmwareLines));
    w.btnUpdateClick();
    const bool done = w.mmoUplog->toPlainText().endsWith(QStringLiteral("升级完成."));
    Pump(200);
    const auto after = Memory();
    std::printf("first_paint_ms %.1f (main entered after %.1f ms)\n", firstPaintMs,
                (mainNs - t0) / 1e6);
    std::printf("rest_rss_kib %ld rest_peak_kib %ld\n", rest.second, rest.first);
    std::printf("after_update_rss_kib %ld after_update_peak_kib %ld update_completed %s\n",
                after.second, after.first, done ? "yes" : "no");
    return done ? 0 : 1;
}
