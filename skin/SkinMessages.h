#pragma once

#include <QEvent>

// The skinned window's own messages, posted to itself: wParam is the element id, lParam the
// element index.
constexpr int WM_SKIN_COMMAND = 0x8064;
constexpr int WM_SKIN_CLICK = 0x8065;

// A system command (minimise, maximise, restore, close) posted to the window itself; wParam
// carries the SC_ code, lParam 0. Qt has no such message, so it gets a number of the skin's own,
// in the same user range as the two above.
constexpr int WM_SKIN_SYSCOMMAND = 0x8112;
constexpr int SC_MINIMIZE = 0xF020;
constexpr int SC_MAXIMIZE = 0xF030;
constexpr int SC_CLOSE = 0xF060;
constexpr int SC_RESTORE = 0xF120;

class TSkinMessage : public QEvent {
public:
    TSkinMessage(int msg, qint32 wParam, qint32 lParam)
        : QEvent(static_cast<QEvent::Type>(msg)), WParam(wParam), LParam(lParam) {}
    qint32 WParam;
    qint32 LParam;
};
