// hidiap-demo: the updater's main window with the emulated hub in place of the hardware.
#include "EmulatedHub.h"
#include "HidIap.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    emuhub::EmulatedBus bus;
    emuhub::EmulatedHub& hub = bus.addHub();
    TfrmMain window(bus);
    window.show();
    // The hub is plugged in a second after start-up, as a user would.
    QTimer::singleShot(1000, [&hub] { hub.plug(); });
    return app.exec();
}
