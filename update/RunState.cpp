#include "RunState.h"

#include "Frame.h"

namespace hidiap {

int RunStateFromReply(int sendResult, const std::uint8_t* reply) {
    if (sendResult == hublink::STATUS_OK)
        return reply && reply[hublink::REPLY_POS_DATA] == 1 ? RunBootLoader : RunUnknown;
    if (sendResult == hublink::STATUS_APP_RUNNING)
        return RunApplication;
    return RunUnknown;
}

} // namespace hidiap
