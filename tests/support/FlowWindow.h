#pragma once

#include "FirmwareImage.h"
#include "HubImage.h"
#include "HubWindow.h"
#include "UpdateTexts.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

// The window over one emulated hub, with what the update tests look at: the log, the status
// strip, the lamp, and the frames the hub received.
namespace flow {

using emuhub::Bytes;
using emuhub::ImageRecord;
using emuhub::Ms;

inline QString T(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// One type-1 line of the image layout. The check byte is not read by the program, so any
// value does.
inline QString DataLine(std::uint16_t address, const Bytes& data) {
    QString line = QStringLiteral(":1%1%2")
                       .arg(data.size() + 3, 2, 16, QLatin1Char('0'))
                       .arg(address, 4, 16, QLatin1Char('0'));
    for (std::uint8_t b : data)
        line += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
    return (line + QStringLiteral("5A")).toUpper();
}
inline const QString END_LINE = QStringLiteral(":9030000FC");

// Three records of a few bytes and the end record: a whole update in about a second.
inline QStringList SmallImage() {
    return {DataLine(0x2000, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}),
            DataLine(0x2008, {0x11, 0x12, 0x13, 0x14}),
            DataLine(0x2010, {0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5}), END_LINE};
}

using emuhub::RecordsOf;

inline std::vector<std::uint8_t> Only(const std::vector<std::uint8_t>& commands,
                                      std::initializer_list<std::uint8_t> keep) {
    std::vector<std::uint8_t> out;
    std::copy_if(commands.begin(), commands.end(), std::back_inserter(out), [&](std::uint8_t c) {
        return std::find(keep.begin(), keep.end(), c) != keep.end();
    });
    return out;
}

// The commands of the update itself, without run-state polls and LED frames.
inline std::vector<std::uint8_t> UpdateCommands(const emuhub::Trace& t) {
    using namespace hublink;
    return Only(t.receivedCommands(), {CMD_ENTER_UPDATE, CMD_DATA, CMD_ADDR_DATA, CMD_RESTART});
}

inline std::vector<std::uint8_t> LedCommands(const emuhub::Trace& t) {
    using namespace hublink;
    return Only(t.receivedCommands(), {CMD_GET_LEDS, CMD_SET_LED, CMD_STORE_LEDS});
}

struct FlowWindow : HubWindow {
    explicit FlowWindow(bool plugHub = true) : HubWindow(plugHub) {
        // Re-enumerations as quick as the bus allows: each state wait then ends at its first poll.
        hub.setReenumerationDelays(Ms(20), Ms(30));
    }

    QStringList LogLines() const {
        const QString text = w->mmoUplog->toPlainText();
        return text.isEmpty() ? QStringList{} : text.split(QLatin1Char('\n'));
    }
    QString Status() const { return w->lblMsg->text(); }
    bool LampIs(int image) const {
        return w->imgIndicator->pixmap().toImage() ==
               w->ilLED[static_cast<std::size_t>(image)].toImage();
    }

    // The status strip shows only on the Tool page with the box checked; it stays visible when
    // the box is unchecked again, which leaves the automatic update off.
    void ShowStatusStrip() {
        w->chkAutoPRG->click();
        w->pgcMain->setCurrentWidget(w->rztbshtTool);
        w->chkAutoPRG->click();
        ASSERT_FALSE(w->pnl2->isHidden());
        ASSERT_FALSE(w->chkAutoPRG->isChecked());
    }

    void UseImage(const QStringList& lines) {
        *FirmwareLines = lines;
        hub.setExpectedImage(RecordsOf(lines));
    }
};

// Runs fn every periodMs inside whatever event loop is running (the run's waits included).
struct Probe {
    QTimer timer;
    Probe(int periodMs, std::function<void()> fn) {
        timer.setInterval(periodMs);
        QObject::connect(&timer, &QTimer::timeout, std::move(fn));
        timer.start();
    }
};

} // namespace flow
