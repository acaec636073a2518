// One whole update of the emulated hub with the built-in image, timed against the floor that
// the protocol's own pauses set.
#include "EmulatedHub.h"
#include "FirmwareImage.h"
#include "HidIap.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using emuhub::Ms;

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// What a plain 2 ms sleep costs on this machine now (timer slack and wake-up delay).
double MeasuredPauseMs() {
    constexpr int samples = 200;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < samples; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
               .count() /
           samples;
}

// Returns false when the run did not complete.
bool RunOnce(int latencyMs) {
    emuhub::EmulatedBus bus;
    emuhub::EmulatedHub& hub = bus.addHub();
    // Quick re-enumerations: each state wait then ends at its first poll.
    hub.setReenumerationDelays(Ms(20), Ms(30));
    hub.setReplyLatency(Ms(latencyMs));
    hub.plug();
    TfrmMain w(bus);
    w.show();
    if (!PumpUntil([&] { return w.FHub && w.FHub->HasReader(); }, 3000)) {
        std::printf("latency %d ms: hub not selected\n", latencyMs);
        return false;
    }
    int records = 0;
    for (const QString& line : *FirmwareLines)
        records += hidiap::ParseFirmwareLine(line).status == hidiap::ParseStatus::Record;
    const double pause = MeasuredPauseMs();
    bus.clearTrace();

    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    w.btnUpdateClick();
    const auto t1 = std::chrono::steady_clock::now();
    const double cpu = CpuSeconds() - cpu0;

    const emuhub::Trace trace = bus.trace();
    const std::size_t exchanges = trace.count(emuhub::TraceKind::Received);
    const double wall = std::chrono::duration<double, std::milli>(t1 - t0).count();
    const double floor = 2.0 * records * 2 + 2 * 500.0 + 8 * 10.0 + double(latencyMs) * exchanges;
    const bool done = w.mmoUplog->toPlainText().endsWith(QString::fromUtf8("升级完成."));
    std::printf("latency %d ms: %s, %d records, %zu exchanges, %llu image(s) applied\n", latencyMs,
                done ? "done" : "NOT DONE", records, exchanges,
                static_cast<unsigned long long>(hub.imagesApplied()));
    std::printf("  wall %.1f ms, floor %.1f ms (%d x 2 ms + 2 x 500 ms + 8 x 10 ms + %d ms x %zu), "
                "ratio %.3f\n",
                wall, floor, records * 2, latencyMs, exchanges, wall / floor);
    // Mean time of one record exchange, first CMD_DATA to last CMD_ADDR_DATA.
    const auto data = trace.receivedFrames(hublink::CMD_DATA);
    const auto addr = trace.receivedFrames(hublink::CMD_ADDR_DATA);
    if (!data.empty() && !addr.empty()) {
        const double span =
            std::chrono::duration<double, std::milli>(addr.back().time - data.front().time).count();
        std::printf("  record exchange %.3f ms on average; a plain 2 ms sleep takes %.3f ms here\n",
                    span / double(data.size() + addr.size() - 1), pause);
    }
    std::printf("  cpu %.1f ms = %.1f %% of wall\n", cpu * 1000, 100.0 * cpu * 1000 / wall);
    return done;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bool ok = true;
    for (int latency : {0, 1})
        ok &= RunOnce(latency);
    return ok ? 0 : 1;
}
