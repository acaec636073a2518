#pragma once

#include "EmulatedHub.h"

#include <QString>
#include <QWidget>

#include <cstddef>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace demo {

// The built-in firmware image as the hub stores it: the type-1 lines of the image, in order.
std::vector<emuhub::ImageRecord> BuiltInImage();

// "11 14 12 25", "11141225", "0x11141225": eight hex digits, spaces and a 0x prefix allowed.
bool ParseVersion(const QString& text, emuhub::Version& out);

// One trace line: seconds since origin, device, direction or event, command, status, and the
// frame in hex with its zero padding folded into a count.
QString FormatTraceEntry(const emuhub::TraceEntry& e, emuhub::Clock::time_point origin);

// The demo's own window beside the updater: the emulated devices, the hub's answers, the fault
// for the next update, and a live trace of the frames. Never part of the product.
class ControlWindow : public QWidget {
public:
    ControlWindow(emuhub::EmulatedBus& bus, emuhub::EmulatedHub& hub, emuhub::EmulatedHub& hub2,
                  emuhub::EmulatedDecoy& decoy, std::size_t imageRecords,
                  const emuhub::Version& newVersion, QWidget* parent = nullptr);

    // Takes the trace entries recorded since the last poll into the view (unless paused) and
    // brings the device check boxes in line with the bus.
    void poll();
    QString traceText() const; // what the trace view shows

private:
    enum Fault {
        FaultNone,
        FaultSilent,
        FaultUnplugMidImage,
        FaultRecordStatus,
        FaultNeverEnterBootLoader,
        FaultNeverComeBack,
        FaultSlowReenumeration,
        FaultStartInBootLoader,
    };

    QWidget* buildDevices();
    QWidget* buildFirmware();
    QWidget* buildRunData();
    QWidget* buildFaults();
    QWidget* buildTrace();
    void applyVersion();
    void applyRunData();
    void armFault();
    void syncDevice(QCheckBox* box, QLabel* state, emuhub::EmulatedDevice& device);

    emuhub::EmulatedBus& bus_;
    emuhub::EmulatedHub& hub_;
    emuhub::EmulatedHub& hub2_;
    emuhub::EmulatedDecoy& decoy_;
    std::size_t imageRecords_;
    emuhub::Version newVersion_;
    emuhub::Clock::time_point origin_;

    // The last entry already taken from the trace: entries are recorded in time order under the
    // bus lock, so everything after (time, count at that time) is new.
    emuhub::Clock::time_point lastTime_{};
    std::size_t seenAtLastTime_ = 0;
    std::size_t framesShown_ = 0;

    QCheckBox* hubPlugged_ = nullptr;
    QLabel* hubState_ = nullptr;
    QCheckBox* hub2Plugged_ = nullptr;
    QLabel* hub2State_ = nullptr;
    QCheckBox* decoyPlugged_ = nullptr;
    QLabel* decoyState_ = nullptr;
    QCheckBox* openDenied_ = nullptr;

    QComboBox* version_ = nullptr;
    QLabel* versionNote_ = nullptr;
    QLabel* images_ = nullptr;

    QSpinBox* voltage_ = nullptr;
    QSpinBox* current_ = nullptr;
    QSpinBox* state_ = nullptr;
    QSpinBox* channel_ = nullptr;
    std::vector<QCheckBox*> slots_;
    std::vector<QSpinBox*> extra_;

    QComboBox* fault_ = nullptr;
    QSpinBox* faultRecord_ = nullptr;
    QLabel* faultState_ = nullptr;
    QSpinBox* latency_ = nullptr;

    QPlainTextEdit* trace_ = nullptr;
    QCheckBox* pause_ = nullptr;
    QLabel* traceCount_ = nullptr;
    QTimer* timer_ = nullptr;
};

} // namespace demo
