// 1,000 exchanges (CMD_GET_VERSION) of the real window with the emulated hub, at 0 ms and at
// 1 ms reply latency: mean wall time per exchange and process CPU time as a share of wall time.
#include "EmulatedHub.h"
#include "HidIap.h"

#include <QApplication>
#include <QElapsedTimer>

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int exchanges = 1000;
    emuhub::EmulatedBus bus;
    emuhub::EmulatedHub& hub = bus.addHub();
    hub.plug();
    TfrmMain w(bus);
    QElapsedTimer wait;
    wait.start();
    while (!w.FHub && wait.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!w.FHub) {
        std::fprintf(stderr, "no hub\n");
        return 1;
    }
    std::printf("%-12s %10s %14s %12s %10s %8s\n", "latency_ms", "exchanges", "mean_ms", "floor_ms",
                "cpu_share", "failed");
    for (int latency : {0, 1}) {
        hub.setReplyLatency(emuhub::Ms(latency));
        int failed = 0;
        const double cpu0 = CpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < exchanges; ++i)
            if (w.SendFrame(hublink::CMD_GET_VERSION, hublink::TFrameRequest{}) != 0)
                ++failed;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = CpuSeconds() - cpu0;
        std::printf("%-12d %10d %14.3f %12.3f %9.1f%% %8d\n", latency, exchanges,
                    wall * 1000.0 / exchanges, 2.0 + latency, 100.0 * cpu / wall, failed);
    }
    return 0;
}
