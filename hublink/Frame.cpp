#include "Frame.h"

#include <algorithm>

namespace hublink {

const char* CommandName(std::uint8_t command) {
    switch (command) {
    case CMD_GET_VERSION:
        return "CMD_GET_VERSION";
    case CMD_GET_STATE:
        return "CMD_GET_STATE";
    case CMD_ADDR_DATA:
        return "CMD_ADDR_DATA";
    case CMD_ENTER_UPDATE:
        return "CMD_ENTER_UPDATE";
    case CMD_DATA:
        return "CMD_DATA";
    case CMD_RESTART:
        return "CMD_RESTART";
    case CMD_GET_RUNDATA:
        return "CMD_GET_RUNDATA";
    case CMD_SET_LED:
        return "CMD_SET_LED";
    case CMD_GET_LEDS:
        return "CMD_GET_LEDS";
    case CMD_STORE_LEDS:
        return "CMD_STORE_LEDS";
    default:
        return nullptr;
    }
}

std::uint8_t Crc8(const std::uint8_t* data, std::size_t length) {
    if (length == 0)
        return 0;
    // The register starts as the first byte; every further bit (then eight zero bits) enters
    // from the right, and a 1 leaving on the left XORs the register with the polynomial.
    std::uint8_t reg = data[0];
    auto shiftIn = [&reg](std::uint8_t byte) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool out = (reg & 0x80) != 0;
            reg = static_cast<std::uint8_t>((reg << 1) | ((byte >> bit) & 1));
            if (out)
                reg ^= 0x07;
        }
    };
    for (std::size_t i = 1; i < length; ++i)
        shiftIn(data[i]);
    shiftIn(0);
    return reg;
}

bool BuildOutputReport(std::uint8_t command, const TFrameRequest& request, OutputReport& out) {
    const std::size_t n = request.dataLength();
    if (n > FRAME_MAX_DATA)
        return false;
    out[0] = 0; // report ID
    std::uint8_t* frame = out.data() + 1;
    frame[FRAME_POS_SYNC] = FRAME_SYNC;
    frame[FRAME_POS_LENGTH] = static_cast<std::uint8_t>(n + FRAME_OVERHEAD);
    frame[FRAME_POS_ZERO] = 0;
    frame[FRAME_POS_COMMAND] = command;
    std::copy(request.bytes.begin() + FRAME_POS_DATA, request.bytes.end(), frame + FRAME_POS_DATA);
    frame[FRAME_POS_DATA + n] = Crc8(frame, CheckCoverage(n));
    return true;
}

FrameVerdict CheckFrame(const std::uint8_t* frame, std::size_t size) {
    if (size < FRAME_OVERHEAD || frame[FRAME_POS_SYNC] != FRAME_SYNC)
        return FrameVerdict::BadSync;
    const std::size_t len = frame[FRAME_POS_LENGTH];
    if (len < FRAME_OVERHEAD || len > FRAME_SIZE || len > size)
        return FrameVerdict::BadLength;
    if (frame[FRAME_POS_ZERO] != 0)
        return FrameVerdict::BadZeroByte;
    const std::size_t n = len - FRAME_OVERHEAD;
    if (frame[FRAME_POS_DATA + n] != Crc8(frame, CheckCoverage(n)))
        return FrameVerdict::BadCheckByte;
    return FrameVerdict::Ok;
}

const char* FrameVerdictName(FrameVerdict v) {
    switch (v) {
    case FrameVerdict::Ok:
        return "ok";
    case FrameVerdict::BadSync:
        return "bad sync";
    case FrameVerdict::BadLength:
        return "bad length";
    case FrameVerdict::BadZeroByte:
        return "bad zero byte";
    case FrameVerdict::BadCheckByte:
        return "bad check byte";
    }
    return "?";
}

} // namespace hublink
