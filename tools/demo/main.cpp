#include "HidIap.h"
#include <QApplication>
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TfrmMain w;
    w.show();
    return app.exec();
}
