#include "RunDataDecode.h"

namespace service {

namespace {

std::uint16_t LittleEndian16(const std::array<std::uint8_t, 64>& r, std::size_t at) {
    return static_cast<std::uint16_t>(r[at] | (r[at + 1] << 8));
}

} // namespace

RunDataValues DecodeRunData(const std::array<std::uint8_t, 64>& reply) {
    RunDataValues v;
    v.voltage = LittleEndian16(reply, 5);
    v.current = LittleEndian16(reply, 7);
    v.state = reply[9];
    v.channel = reply[10];
    for (std::size_t slot = 0; slot < BATTERY_SLOTS; ++slot)
        v.slotFlag[slot] = (reply[11] >> (4 + slot)) & 1U;
    for (std::size_t k = 0; k < RUNDATA_EXTRA_BYTES; ++k)
        v.extra[k] = reply[12 + k];
    return v;
}

} // namespace service
