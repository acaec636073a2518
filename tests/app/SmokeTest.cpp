#include "HubWindow.h"

#include <gtest/gtest.h>

using namespace hublink;

TEST(Smoke, WindowFindsTheHubAndExchangesAFrame) {
    HubWindow hw;
    ASSERT_NE(hw.w->FHub, nullptr);
    TFrameRequest req;
    EXPECT_EQ(hw.w->SendFrame(CMD_GET_STATE, req), 0xFF);
}
