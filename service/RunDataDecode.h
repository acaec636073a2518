#pragma once

#include <array>
#include <cstdint>

// The running-data reply of the hub, taken apart into the values the Tool page shows.
namespace service {

constexpr std::size_t BATTERY_SLOTS = 4;
constexpr std::size_t RUNDATA_EXTRA_BYTES = 3;

struct RunDataValues {
    std::uint16_t voltage = 0; // frame bytes 5 (low), 6 (high)
    std::uint16_t current = 0; // frame bytes 7 (low), 8 (high)
    std::uint8_t state = 0;    // frame byte 9
    std::uint8_t channel = 0;  // frame byte 10
    // Frame byte 11, bits 4..7 = batteries 1..4; the low four bits carry nothing.
    std::array<bool, BATTERY_SLOTS> slotFlag{};
    std::array<std::uint8_t, RUNDATA_EXTRA_BYTES> extra{}; // frame bytes 12..14
};

// Decodes a 64-byte reply frame (no report ID). The status byte is not looked at: the caller
// decides whether the reply counts.
RunDataValues DecodeRunData(const std::array<std::uint8_t, 64>& reply);

} // namespace service
