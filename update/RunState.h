#pragma once

#include <cstdint>

// What the hub is running, as derived from its reply to CMD_GET_STATE.
namespace hidiap {

enum RunState { RunUnknown = 0, RunBootLoader = 1, RunApplication = 2 };

// Maps the result of SendFrame for CMD_GET_STATE (-1 for no reply, else the status byte) and the
// reply frame to a run state. The boot loader answers status 0 with byte 5 = 1; the application
// answers status 0xFF. Anything else is unknown. `reply` is read only for status 0.
int RunStateFromReply(int sendResult, const std::uint8_t* reply);

} // namespace hidiap
