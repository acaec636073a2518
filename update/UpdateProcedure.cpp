// The firmware update: run-state query and wait, entering the boot loader, and the whole run.
#include "HidIap.h"

#include "FirmwareImage.h"
#include "RunState.h"
#include "TrackBar.h"
#include "UpdateTexts.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

using namespace hublink;
using namespace hidiap;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int RUN_STATE_TIMEOUT_MS = 5000;
constexpr int RUN_STATE_POLL_MS = 500;
constexpr auto LED_REPLAY_PAUSE = std::chrono::milliseconds(10);

// Spends the time inside the event loop, so the window stays alive and hand-overs are served,
// without spinning: the loop blocks until the next event, at the latest the deadline timer.
void PauseServingEvents(int ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return;
        if (!wake.isActive())
            wake.start(static_cast<int>(left.count()));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void Log(QPlainTextEdit* log, const char* text) {
    log->appendPlainText(QString::fromUtf8(text));
}

// Appends to the last line instead of starting a new one.
void AppendToLastLine(QPlainTextEdit* log, const char* text) {
    QTextCursor c(log->document());
    c.movePosition(QTextCursor::End);
    c.insertText(QString::fromUtf8(text));
}

// Restores the guards if the run is left by an exception.
struct RunGuard {
    QWidget* panel;
    bool armed = true;
    ~RunGuard() {
        if (!armed)
            return;
        UpdateInProgress = false;
        panel->setEnabled(true);
    }
};

} // namespace

int TfrmMain::QueryRunState() {
    try {
        TFrameRequest request;
        const int result = SendFrame(CMD_GET_STATE, request);
        return RunStateFromReply(result, FReply.data());
    } catch (...) {
        return RunUnknown;
    }
}

bool TfrmMain::WaitForRunState(int timeoutMs, int wanted) {
    const auto start = Clock::now();
    for (;;) {
        const std::int64_t elapsed = std::llabs(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        if (elapsed >= timeoutMs)
            return false;
        PauseServingEvents(RUN_STATE_POLL_MS);
        QCoreApplication::processEvents();
        // The hub may have left the bus and come back as a new device: rescan before asking.
        if (RescanDevices() && QueryRunState() == wanted)
            return true;
    }
}

bool TfrmMain::EnterUpdateMode() {
    Log(mmoUplog, updatetexts::ENTER_UPDATE);
    TFrameRequest request;
    SendFrame(CMD_ENTER_UPDATE, request); // only the wait tells whether the hub obeyed
    return WaitForRunState(RUN_STATE_TIMEOUT_MS, RunBootLoader);
}

void TfrmMain::btnUpdateClick() {
    mmoUplog->clear();
    pbProgram->setValue(0);
    if (!FHub) {
        Log(mmoUplog, updatetexts::NO_HUB_LOG);
        ShowStatus(QString::fromUtf8(updatetexts::NO_HUB_STATUS));
        return;
    }

    RunGuard guard{pnlUpdate};
    try {
        pnlUpdate->setEnabled(false);

        // Values read by an earlier run that never stored them back are only in the sliders:
        // the hub may sit in its boot loader, or run the new firmware with factory values after
        // an unconfirmed restart. Keep them for the replay; otherwise read afresh, and values
        // read on the Tool page (perhaps from another hub) are never carried.
        const int state = QueryRunState();
        if (!LedCalibrationCarried) {
            LedCalibrationRead = false;
            if (state == RunApplication) {
                btnStartAdj->click();
                QCoreApplication::processEvents();
                LedCalibrationCarried = LedCalibrationRead;
            }
        }

        if (chkRefresh->isChecked())
            chkRefresh->click(); // runs its handler, which stops the running-data timer

        UpdateInProgress = true;
        const bool entered = EnterUpdateMode();
        UpdateInProgress = false;
        if (!entered) {
            Log(mmoUplog, updatetexts::STATE_ERROR);
            ShowStatus(QString::fromUtf8(updatetexts::STATE_ERROR));
            pnlUpdate->setEnabled(true);
            guard.armed = false;
            return;
        }

        Log(mmoUplog, updatetexts::UPDATING);
        ShowStatus(QString::fromUtf8(updatetexts::UPDATING));
        const int lineCount = static_cast<int>(FirmwareLines->size());
        pbProgram->setMaximum(std::max(0, lineCount - 1));
        pbProgram->setValue(0);
        pbMsg->setMaximum(pbProgram->maximum());
        pbMsg->setValue(0);
        QCoreApplication::processEvents();

        // Ends the run with the hub left in its boot loader: no status, so the strip keeps
        // "升级中...".
        const auto abandon = [this, &guard](const char* why) {
            Log(mmoUplog, why);
            ShowLamp(1);
            pnlUpdate->setEnabled(true);
            guard.armed = false;
        };

        // One record for the whole run: the second frame of a line carries the data bytes
        // written for the first.
        TFrameRequest request;
        for (int i = 0; i < lineCount; ++i) {
            pbProgram->setValue(i);
            pbMsg->setValue(i);
            const ParseResult line = ParseFirmwareLine(FirmwareLines->at(i));
            if (line.status == ParseStatus::Skipped)
                continue;
            if (line.status == ParseStatus::Error) {
                abandon(updatetexts::IMAGE_ERROR);
                return;
            }
            // With the hub gone SendFrame fails at once, which takes the same way out.
            FillDataFrame(request, line.record);
            if (SendFrame(CMD_DATA, request) != STATUS_OK) {
                abandon(updatetexts::TIMEOUT);
                return;
            }
            FillAddrDataFrame(request, line.record);
            if (SendFrame(CMD_ADDR_DATA, request) != STATUS_OK) {
                abandon(updatetexts::TIMEOUT);
                return;
            }
        }
        // The line count lies one above the range, which a progress bar here would ignore.
        pbProgram->setValue(std::min(lineCount, pbProgram->maximum()));
        pbMsg->setValue(std::min(lineCount, pbMsg->maximum()));

        request.setDataLength(0);
        SendFrame(CMD_RESTART, request); // only the wait tells whether the hub obeyed

        Log(mmoUplog, updatetexts::RESTARTING);
        ShowStatus(QString::fromUtf8(updatetexts::RESTARTING));
        if (WaitForRunState(RUN_STATE_TIMEOUT_MS, RunApplication)) {
            AppendToLastLine(mmoUplog, updatetexts::RESTART_OK);
            if (LedCalibrationRead) {
                // The new firmware starts with factory values: give the hub back its own.
                for (TRzTrackBar* bar : rztrckbr) {
                    rztrckbr1Change(bar);
                    std::this_thread::sleep_for(LED_REPLAY_PAUSE);
                }
                btnEndAdj->click();
                // Carried over only once the store was answered: a hub that vanished or fell
                // silent during the replay gets the values from the next run.
                if (FHub && FReply[0] == FRAME_SYNC) {
                    LedCalibrationRead = false;
                    LedCalibrationCarried = false;
                }
            }
            Log(mmoUplog, updatetexts::DONE);
            ShowStatus(QString::fromUtf8(updatetexts::DONE));
        } else {
            Log(mmoUplog, updatetexts::FAILED);
            ShowStatus(QString::fromUtf8(updatetexts::FAILED));
        }
        pnlUpdate->setEnabled(true);
        guard.armed = false;
    } catch (...) {
        // Both callers are event handlers, and an exception must not unwind through the event
        // loop: the guard restores the panel and the flag, and the run counts as failed.
        Log(mmoUplog, updatetexts::FAILED);
        ShowStatus(QString::fromUtf8(updatetexts::FAILED));
    }
}
