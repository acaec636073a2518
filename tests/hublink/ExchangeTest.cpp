// The command exchange of the real window over the emulated hub: attempts, waits, replies.
#include "HubWindow.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

using namespace hublink;
using emuhub::Bytes;
using emuhub::Ms;
using emuhub::TraceKind;

namespace {

TFrameRequest Request(std::initializer_list<std::uint8_t> data) {
    TFrameRequest r;
    r.setDataLength(static_cast<std::uint8_t>(data.size()));
    std::size_t k = 0;
    for (std::uint8_t b : data)
        r.data(k++) = b;
    return r;
}

Bytes FrameOf(const emuhub::TraceEntry& e) {
    return Bytes(e.bytes.begin() + 1, e.bytes.end());
}

} // namespace

TEST(Exchange, FramesReachTheHubByteForByte) {
    HubWindow hw;
    struct Case {
        std::uint8_t command;
        TFrameRequest request;
        Bytes frame;
    } cases[] = {
        {CMD_GET_VERSION, Request({}), {0x55, 0x05, 0x00, 0x01, 0xA5}},
        {CMD_GET_VERSION, Request({0x00}), {0x55, 0x06, 0x00, 0x01, 0x00, 0xC8}},
        {CMD_SET_LED, Request({0x01, 0x32}), {0x55, 0x07, 0x00, 0xF1, 0x01, 0x32, 0x73}},
        {CMD_SET_LED, Request({0x01, 0x09}), {0x55, 0x07, 0x00, 0xF1, 0x01, 0x09, 0x73}},
        {CMD_GET_STATE, Request({}), {0x55, 0x05, 0x00, 0x04, 0xA5}},
        {CMD_RESTART, Request({}), {0x55, 0x05, 0x00, 0x0B, 0xA5}},
    };
    for (const Case& c : cases) {
        hw.bus.clearTrace();
        hw.w->SendFrame(c.command, c.request);
        const auto received = hw.bus.trace().ofKind(TraceKind::Received);
        ASSERT_GE(received.size(), 1u);
        const Bytes& report = received.front().bytes;
        ASSERT_EQ(report.size(), 65u);
        EXPECT_EQ(report[0], 0) << "report ID";
        Bytes head(report.begin() + 1, report.begin() + 1 + static_cast<long>(c.frame.size()));
        EXPECT_EQ(head, c.frame);
        for (std::size_t i = 1 + c.frame.size(); i < report.size(); ++i)
            ASSERT_EQ(report[i], 0) << "padding byte " << i;
    }
    // CMD_RESTART made the emulated hub leave the bus; nothing broke a frame rule before.
    EXPECT_FALSE(hw.bus.trace().anyRuleBroken());
}

TEST(Exchange, LongestRequestIsSentAndLongerIsRefusedUnwritten) {
    HubWindow hw;
    TFrameRequest r;
    r.setDataLength(59);
    for (std::size_t k = 0; k < 59; ++k)
        r.data(k) = static_cast<std::uint8_t>(0xA0 + k % 16);
    hw.w->SendFrame(CMD_GET_RUNDATA, r);
    auto frames = hw.bus.trace().receivedFrames(CMD_GET_RUNDATA);
    ASSERT_EQ(frames.size(), 1u);
    const Bytes f = FrameOf(frames[0]);
    EXPECT_EQ(f[1], 64);
    EXPECT_EQ(f[63], Crc8(f.data(), 62));

    hw.bus.clearTrace();
    r.setDataLength(60);
    EXPECT_EQ(hw.w->SendFrame(CMD_GET_RUNDATA, r), -1);
    EXPECT_EQ(hw.bus.trace().count(TraceKind::Received), 0u);
}

TEST(Exchange, NonZeroStatusIsReturnedWithoutRetry) {
    HubWindow hw;
    // The application answers CMD_GET_STATE with 0xFF.
    EXPECT_EQ(hw.w->SendFrame(CMD_GET_STATE, TFrameRequest{}), 255);
    hw.hub.addStatusFault(CMD_GET_VERSION, 1, 0x07);
    hw.bus.clearTrace();
    EXPECT_EQ(hw.w->SendFrame(CMD_GET_VERSION, TFrameRequest{}), 7);
    EXPECT_EQ(hw.bus.trace().countReceived(CMD_GET_VERSION), 1u);
}

TEST(Exchange, SilentHubCostsThreeWritesAndALittleOverThreeHundredMs) {
    HubWindow hw;
    hw.hub.setSilent(true);
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(hw.w->SendFrame(CMD_GET_VERSION, TFrameRequest{}), -1);
    const qint64 ms = t.elapsed();
    EXPECT_EQ(hw.bus.trace().countReceived(CMD_GET_VERSION), 3u);
    EXPECT_GE(ms, 3 * 101);
    EXPECT_LT(ms, 3 * 101 + 120);
}

TEST(Exchange, ReportWithoutSyncByteDoesNotEndTheWait) {
    HubWindow hw;
    hw.hub.setSilent(true);
    // An unsolicited report lands in the first wait: it is copied but is no reply.
    Bytes junk(65, 0x11);
    junk[0] = 0;
    QTimer::singleShot(20, [&] { hw.hub.injectReport(junk); });
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(hw.w->WaitReply(), -1);
    EXPECT_GT(t.elapsed(), 100);
    // It stays in the reply buffer until the next report or wait overwrites it.
    EXPECT_EQ(hw.w->FReply[0], 0x11);
    EXPECT_EQ(hw.w->FReply[63], 0x11);
}

TEST(Exchange, LateReplyIsTakenByTheNextAttemptsWait) {
    HubWindow hw;
    // The first reply comes 150 ms late: after the first wait gave up, inside the second.
    hw.hub.addLateReply(CMD_GET_VERSION, 1, Ms(150));
    EXPECT_EQ(hw.w->SendFrame(CMD_GET_VERSION, TFrameRequest{}), 0);
    EXPECT_EQ(hw.bus.trace().countReceived(CMD_GET_VERSION), 2u);
}

TEST(Exchange, ShortReportsKeepTheBytesBeyondThem) {
    HubWindow hw;
    hw.w->FReply.fill(0xEE);
    Bytes shortReport = {0x00, 0x55, 0x01, 0x02};
    hw.hub.injectReport(shortReport);
    ASSERT_TRUE(PumpUntil([&] { return hw.w->FReply[0] == 0x55; }));
    EXPECT_EQ(hw.w->FReply[2], 0x02);
    EXPECT_EQ(hw.w->FReply[3], 0xEE);
}

TEST(Exchange, NoHubMeansNoWriteAndMinusOne) {
    HubWindow hw(false);
    EXPECT_EQ(hw.w->FHub, nullptr);
    EXPECT_EQ(hw.w->SendFrame(CMD_GET_VERSION, TFrameRequest{}), -1);
    EXPECT_EQ(hw.bus.trace().count(TraceKind::Received), 0u);
}
