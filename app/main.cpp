// hidiap: the updater for the real hub. No command line, no settings, no files.
#include "HidIap.h"
#include "HidapiBackend.h"
#include "ResourceLookup.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(hidiap::ResourcePath("ICON", "HIDIAP_PNG")));
    // Lets a Wayland compositor match the window to hidiap.desktop.
    QApplication::setDesktopFileName(QStringLiteral("hidiap"));
    hublink::HidapiBackend backend;
    TfrmMain window(backend);
    window.show();
    return app.exec();
}
