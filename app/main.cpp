// hidiap: the updater for the real hub. No command line, no settings, no files.
#include "HidIap.h"
#include "HidapiBackend.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    hublink::HidapiBackend backend;
    TfrmMain window(backend);
    window.show();
    return app.exec();
}
