// Renders the main window over the emulated hub and saves it as a PNG, offscreen:
//   hidiap-screenshot <out.png> [home|update|tool] [connect|update]
// The optional action runs a version check or a whole update before the grab.
#include "EmulatedHub.h"
#include "HidIap.h"
#include "HubImage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabWidget>

#include <cstdio>

namespace {

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png [home|update|tool] [connect|update]\n", argv[0]);
        return 2;
    }
    const QString page = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("home");
    const QString action = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();

    emuhub::EmulatedBus bus;
    emuhub::EmulatedHub& hub = bus.addHub();
    hub.setReenumerationDelays(emuhub::Ms(100), emuhub::Ms(200));
    hub.plug();
    TfrmMain w(bus);
    hub.setExpectedImage(emuhub::RecordsOf(*FirmwareLines));
    w.show();
    Pump(300);
    if (page == QLatin1String("update"))
        QCoreApplication::postEvent(&w, new TSkinMessage(WM_SKIN_COMMAND, 101, 4));
    else if (page == QLatin1String("tool"))
        QCoreApplication::postEvent(&w, new TSkinMessage(WM_SKIN_COMMAND, 103, -1));
    Pump(100);
    if (action == QLatin1String("connect"))
        w.btnConnect->click();
    else if (action == QLatin1String("update"))
        w.btnUpdate->click();
    Pump(200);
    if (!w.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
