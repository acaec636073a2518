#pragma once

#include "HubWindow.h"
#include "Shape.h"
#include "TrackBar.h"

#include <QColor>
#include <QPalette>
#include <QTabWidget>

#include <utility>
#include <vector>

// The real window with the Tool page current. No button leads there, so the page is made
// current directly.
inline void ShowToolPage(TfrmMain& w) {
    w.pgcMain->setCurrentWidget(w.rztbshtTool);
}

inline QColor Highlight(const TfrmMain& w) {
    return w.palette().color(QPalette::Highlight);
}

// (channel, value) of every CMD_SET_LED the hub received, in order.
inline std::vector<std::pair<int, int>> SetLedFrames(const emuhub::Trace& trace) {
    std::vector<std::pair<int, int>> out;
    for (const auto& e : trace.receivedFrames(hublink::CMD_SET_LED))
        out.emplace_back(e.bytes[5], e.bytes[6]); // report ID, 55, len, 00, F1, channel, value
    return out;
}

// The first bytes of a received report, report ID first.
inline emuhub::Bytes Head(const emuhub::TraceEntry& e, std::size_t n) {
    return emuhub::Bytes(e.bytes.begin(),
                         e.bytes.begin() + static_cast<long>(std::min(n, e.bytes.size())));
}
