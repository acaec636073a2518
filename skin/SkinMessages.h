#pragma once

#include <QEvent>

// The skinned window's own messages, posted to itself: wParam is the element id, lParam the
// element index.
constexpr int WM_SKIN_COMMAND = 0x8064;
constexpr int WM_SKIN_CLICK = 0x8065;

class TSkinMessage : public QEvent {
public:
    TSkinMessage(int msg, qint32 wParam, qint32 lParam)
        : QEvent(static_cast<QEvent::Type>(msg)), WParam(wParam), LParam(lParam) {}
    qint32 WParam;
    qint32 LParam;
};
