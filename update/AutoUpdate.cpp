// The automatic update on plug-in.
#include "HidIap.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>

void TfrmMain::chkAutoPRGClick() {
    const bool on = chkAutoPRG->isChecked();
    if (!on)
        tmrAuto->stop();
    else if (!tmrAuto->isActive())
        tmrAuto->start();
    btnConnect->setEnabled(!on);
    btnUpdate->setEnabled(!on);
}

void TfrmMain::tmrAutoTimer() {
    if (!AutoUpdatePending)
        return;
    // The tick that first sees the armed flag only counts.
    if (AutoTickCount == 0) {
        ++AutoTickCount;
        return;
    }
    AutoTickCount = 0;

    try {
        btnConnectClick();
    } catch (...) {
        // Still armed, timer and box enabled: a later tick tries again.
        return;
    }

    // Neither a second cycle nor switching the mode off may happen inside the update.
    chkAutoPRG->setEnabled(false);
    tmrAuto->stop();
    try {
        QCoreApplication::processEvents();
        btnUpdateClick();
        QCoreApplication::processEvents();
        btnConnectClick(); // shows the version the hub runs now
    } catch (...) {
        // The log holds whatever the interrupted step wrote last.
    }
    // The hub's return after its restart armed the flag again: that is this same plug-in.
    AutoUpdatePending = false;
    tmrAuto->start();
    chkAutoPRG->setEnabled(true);
}
