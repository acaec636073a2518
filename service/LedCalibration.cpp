// LED colour calibration on the Tool page.
#include "HidIap.h"
#include "TrackBar.h"

using namespace hublink;

namespace {
constexpr std::size_t LED_VALUE_COUNT = 8; // reply bytes 5..12 = channels 1..8
}

void TfrmMain::rztrckbr1Change(TRzTrackBar* Sender) {
    try {
        if (!FHub || !Sender)
            return;
        TFrameRequest request;
        request.setDataLength(2);
        request.data(0) = static_cast<std::uint8_t>(Sender->Tag & 0xFF);
        request.data(1) = static_cast<std::uint8_t>(Sender->Position() & 0xFF);
        SendFrame(CMD_SET_LED, request);
    } catch (...) {
    }
}

void TfrmMain::btnStartAdjClick() {
    try {
        if (!FHub)
            return;
        TFrameRequest request;
        request.setDataLength(0);
        const int result = SendFrame(CMD_GET_LEDS, request);
        // Every position set below runs an exchange of its own, which reuses FReply.
        const std::array<std::uint8_t, 64> reply = FReply;
        if (result != 0)
            return;
        for (std::size_t i = 0; i < LED_VALUE_COUNT; ++i)
            rztrckbr[i]->SetPosition(reply[REPLY_POS_DATA + i]);
        LedCalibrationRead = true;
    } catch (...) {
    }
}

void TfrmMain::btnEndAdjClick() {
    try {
        if (!FHub)
            return;
        TFrameRequest request;
        request.setDataLength(0);
        SendFrame(CMD_STORE_LEDS, request);
    } catch (...) {
    }
}
