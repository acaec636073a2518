#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The hub's command frame protocol: 64-byte frames behind report ID 0, a CRC-8 check byte
// and the table of command codes.
namespace hublink {

constexpr std::uint16_t HUB_VENDOR_ID = 0xFFF0;
constexpr std::uint16_t HUB_PRODUCT_ID = 0x0018;

constexpr std::uint8_t FRAME_SYNC = 0x55;
constexpr std::size_t FRAME_SIZE = 64;         // frame bytes after the report ID
constexpr std::size_t OUTPUT_REPORT_SIZE = 65; // report ID 0 + frame
constexpr std::size_t FRAME_OVERHEAD = 5;      // sync, length, zero, command, check byte
constexpr std::size_t FRAME_MAX_DATA = FRAME_SIZE - FRAME_OVERHEAD; // 59

// Frame byte offsets.
constexpr std::size_t FRAME_POS_SYNC = 0;
constexpr std::size_t FRAME_POS_LENGTH = 1;
constexpr std::size_t FRAME_POS_ZERO = 2;
constexpr std::size_t FRAME_POS_COMMAND = 3;
constexpr std::size_t FRAME_POS_DATA = 4;
// Reply byte offsets.
constexpr std::size_t REPLY_POS_STATUS = 4;
constexpr std::size_t REPLY_POS_DATA = 5;

constexpr std::uint8_t CMD_GET_VERSION = 0x01;
constexpr std::uint8_t CMD_GET_STATE = 0x04;
constexpr std::uint8_t CMD_ADDR_DATA = 0x06;
constexpr std::uint8_t CMD_ENTER_UPDATE = 0x07;
constexpr std::uint8_t CMD_DATA = 0x09;
constexpr std::uint8_t CMD_RESTART = 0x0B;
constexpr std::uint8_t CMD_GET_RUNDATA = 0x10;
constexpr std::uint8_t CMD_SET_LED = 0xF1;
constexpr std::uint8_t CMD_GET_LEDS = 0xF2;
constexpr std::uint8_t CMD_STORE_LEDS = 0xF3;

constexpr std::uint8_t STATUS_OK = 0x00;
constexpr std::uint8_t STATUS_APP_RUNNING =
    0xFF; // reply status of CMD_GET_STATE in the application

// Name of a command code for traces ("CMD_GET_VERSION"), or nullptr for an unknown code.
const char* CommandName(std::uint8_t command);

// CRC-8: polynomial 0x07 (x^8 + x^2 + x + 1), initial value 0x00, MSB first, no reflection,
// no final XOR. Check value of "123456789" is 0xF4. Computed bitwise with eight trailing zero
// bits, which gives the same result as the usual table-driven form.
std::uint8_t Crc8(const std::uint8_t* data, std::size_t length);

// The hub checks only the first n + 3 frame bytes (sync, length, zero, command and the first
// n - 1 data bytes): the last data byte, and for n = 0 the command, are outside the check.
// That coverage is the wire format, so every data-less frame carries 0xA5.
constexpr std::size_t CheckCoverage(std::size_t n) {
    return n + 3;
}

// The request record that callers of SendFrame fill: byte 1 is the data length n, bytes 4..63
// the data area. Bytes 0, 2 and 3 are not sent.
struct TFrameRequest {
    std::array<std::uint8_t, FRAME_SIZE> bytes{};

    std::uint8_t& operator[](std::size_t i) { return bytes[i]; }
    std::uint8_t operator[](std::size_t i) const { return bytes[i]; }
    std::uint8_t dataLength() const { return bytes[1]; }
    void setDataLength(std::uint8_t n) { bytes[1] = n; }
    // data byte k lives at record byte 4 + k
    std::uint8_t& data(std::size_t k) { return bytes[FRAME_POS_DATA + k]; }
};

using OutputReport = std::array<std::uint8_t, OUTPUT_REPORT_SIZE>;

// Builds the 65-byte output report for a request; false (report untouched) when n > 59.
// Padding after the check byte is copied from the request record.
bool BuildOutputReport(std::uint8_t command, const TFrameRequest& request, OutputReport& out);

// Checks a received frame (64 bytes, no report ID) against the frame rules: sync byte, length
// 5..64, zero byte, check byte. Used by the emulated hub and tests.
enum class FrameVerdict { Ok, BadSync, BadLength, BadZeroByte, BadCheckByte };
FrameVerdict CheckFrame(const std::uint8_t* frame, std::size_t size);
const char* FrameVerdictName(FrameVerdict v);

} // namespace hublink
