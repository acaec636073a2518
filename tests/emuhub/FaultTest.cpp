#include "HostLink.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace emuhub;
using namespace hublink;

namespace {

class Faults : public HubTest {
protected:
    void SetUp() override {
        hub.plug();
        host = connect();
    }
    std::unique_ptr<HostLink> host;
};

TEST_F(Faults, SilentAnswersNothingAndDoesNothing) {
    const LedValues before = hub.liveLeds();
    hub.setSilent(true);
    EXPECT_FALSE(host->exchange(CMD_GET_VERSION, {}, Ms(80)));
    EXPECT_FALSE(host->exchange(CMD_SET_LED, {1, 7}, Ms(80)));
    EXPECT_EQ(hub.liveLeds(), before);
    EXPECT_EQ(hub.trace().count(TraceKind::FaultFired), 2u);
    hub.setSilent(false);
    EXPECT_EQ(host->status(CMD_GET_VERSION), 0);
}

TEST_F(Faults, SilentToOneCommandOnly) {
    hub.setSilentTo(CMD_GET_VERSION);
    EXPECT_FALSE(host->exchange(CMD_GET_VERSION, {0}, Ms(80)));
    EXPECT_EQ(host->status(CMD_GET_STATE), STATUS_APP_RUNNING);
    hub.setSilentTo(CMD_GET_VERSION, false);
    EXPECT_EQ(host->status(CMD_GET_VERSION), 0);
}

TEST_F(Faults, LateReplyAtTheKthOccurrence) {
    hub.addLateReply(CMD_GET_STATE, 2, Ms(80));
    std::vector<Clock::duration> took;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        ASSERT_EQ(host->status(CMD_GET_STATE), STATUS_APP_RUNNING) << i;
        took.push_back(Clock::now() - t0);
    }
    EXPECT_LT(took[0], Ms(40));
    EXPECT_GE(took[1], Ms(80));
    EXPECT_LT(took[2], Ms(40));
}

TEST_F(Faults, LateReplyLandsAfterTheNextRequest) {
    // A late reply is still delivered; the host sees it where it did not expect it.
    hub.addLateReply(CMD_GET_VERSION, 1, Ms(60));
    EXPECT_FALSE(host->exchange(CMD_GET_VERSION, {}, Ms(20)));
    const auto first = host->exchange(CMD_GET_STATE);
    ASSERT_TRUE(first);
    EXPECT_EQ((*first)[4], CMD_GET_STATE);
    const auto late = host->next(Ms(300));
    ASSERT_TRUE(late);
    EXPECT_EQ((*late)[4], CMD_GET_VERSION);
}

TEST_F(Faults, ExtraLatencyForEveryReply) {
    hub.setExtraLatency(Ms(50));
    for (std::uint8_t cmd : {CMD_GET_STATE, CMD_GET_LEDS}) {
        const auto t0 = Clock::now();
        ASSERT_GE(host->status(cmd), 0);
        EXPECT_GE(Clock::now() - t0, Ms(50));
    }
}

struct StatusCase {
    const char* name;
    std::uint8_t command;
    int occurrence;
    std::uint8_t status;
    std::optional<Bytes> data;
    std::vector<int> statuses;                // of four requests of the command
    std::optional<std::uint8_t> byte5OfFault; // reply byte 5 of the faulted reply
};
void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << c.name;
}

class StatusFaults : public Faults, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusFaults, ReplaceTheStatusOfTheirOccurrence) {
    const StatusCase& c = GetParam();
    hub.addStatusFault(c.command, c.occurrence, c.status, c.data);
    for (std::size_t i = 0; i < c.statuses.size(); ++i) {
        const auto reply = host->exchange(c.command);
        ASSERT_TRUE(reply) << i;
        EXPECT_EQ((*reply)[5], c.statuses[i]) << "request " << i;
        if (c.byte5OfFault && static_cast<int>(i + 1) == c.occurrence) {
            EXPECT_EQ((*reply)[6], *c.byte5OfFault);
        }
        EXPECT_EQ(CheckFrame(reply->data() + 1, FRAME_SIZE), FrameVerdict::Ok);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, StatusFaults,
    ::testing::Values(
        StatusCase{"SecondLedRead", CMD_GET_LEDS, 2, 1, std::nullopt, {0, 1, 0, 0}, std::nullopt},
        StatusCase{"EveryVersion", CMD_GET_VERSION, 0, 7, std::nullopt, {7, 7, 7, 7}, std::nullopt},
        // status 0 with byte 5 = 2: neither run state
        StatusCase{"StateZeroWithTwo", CMD_GET_STATE, 1, 0, Bytes{2}, {0, 0xFF, 0xFF, 0xFF}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Faults, StatusFaultOnARecordFrame) {
    hub.setStartInBootLoader(true);
    hub.unplug();
    hub.plug();
    host = connect();
    hub.addStatusFault(CMD_DATA, 2, 1);
    EXPECT_EQ(host->sendRecord(0x2000, {1, 2}), std::make_pair(0, 0));
    EXPECT_EQ(host->sendRecord(0x2010, {3, 4}), std::make_pair(1, -1));
}

TEST_F(Faults, UnplugAfterKRecords) {
    hub.setStartInBootLoader(true);
    hub.unplug();
    hub.plug();
    host = connect();
    hub.unplugAfterRecords(3);
    for (std::uint16_t i = 0; i < 2; ++i)
        ASSERT_EQ(host->sendRecord(0x2000 + 16 * i, {std::uint8_t(i)}), std::make_pair(0, 0));
    EXPECT_EQ(host->sendRecord(0x2020, {2}), std::make_pair(0, -1))
        << "the third record gets no reply";
    EXPECT_FALSE(hub.isPlugged());
    EXPECT_TRUE(host->waitReaderFailed(Ms(200)));
    EXPECT_EQ(hub.receivedImage().size(), 3u);
    EXPECT_TRUE(bus.enumerate().empty());
}

TEST_F(Faults, UnplugAtTheKthOccurrenceOfACommand) {
    ChangeCounter changes(bus);
    hub.unplugAtCommand(CMD_GET_LEDS, 2);
    EXPECT_EQ(host->status(CMD_GET_LEDS), 0);
    EXPECT_EQ(host->status(CMD_GET_STATE), STATUS_APP_RUNNING);
    EXPECT_EQ(host->status(CMD_GET_LEDS), -1);
    EXPECT_FALSE(hub.isPlugged());
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(host->send(CMD_GET_STATE), -1);
    EXPECT_TRUE(host->waitReaderFailed(Ms(200)));
    OpenResult result = OpenResult::Ok;
    EXPECT_EQ(bus.open("emu:hub1#1", &result), nullptr);
}

TEST_F(Faults, NeverEntersTheBootLoader) {
    hub.setNeverEnterBootLoader(true);
    const std::string path = hub.path();
    EXPECT_EQ(host->status(CMD_ENTER_UPDATE), 0);
    EXPECT_FALSE(hub.waitForPlugged(false, Ms(100)));
    EXPECT_EQ(hub.path(), path);
    EXPECT_EQ(host->status(CMD_GET_STATE), STATUS_APP_RUNNING);
}

TEST_F(Faults, NeverComesBackAfterRestart) {
    hub.setNeverComeBack(true);
    EXPECT_EQ(host->status(CMD_RESTART), 0);
    EXPECT_TRUE(hub.waitForPlugged(false, Ms(300)));
    EXPECT_FALSE(hub.waitForPlugged(true, Ms(150)));
    EXPECT_TRUE(bus.enumerate().empty());
    // A real replug still brings it back.
    hub.plug();
    EXPECT_EQ(bus.enumerate().size(), 1u);
}

TEST_F(Faults, StartsInTheBootLoader) {
    host.reset();
    hub.unplug();
    hub.setStartInBootLoader(true);
    hub.plug();
    EXPECT_EQ(hub.mode(), HubMode::BootLoader);
    host = connect();
    const auto state = host->exchange(CMD_GET_STATE);
    ASSERT_TRUE(state);
    EXPECT_EQ((*state)[5], 0);
    EXPECT_EQ((*state)[6], 1);
    EXPECT_EQ(bus.enumerate()[0].vendorId, HUB_VENDOR_ID);
    EXPECT_EQ(bus.enumerate()[0].productId, HUB_PRODUCT_ID);
}

TEST_F(Faults, PermissionDeniedOnOpen) {
    hub.setOpenDenied(true);
    OpenResult result = OpenResult::Ok;
    EXPECT_EQ(bus.open(hub.path(), &result), nullptr);
    EXPECT_EQ(result, OpenResult::PermissionDenied);
    EXPECT_EQ(bus.enumerate().size(), 1u) << "still listed";
    EXPECT_EQ(host->status(CMD_GET_STATE), STATUS_APP_RUNNING)
        << "handles opened before keep working";
    hub.setOpenDenied(false);
    EXPECT_NE(bus.open(hub.path(), &result), nullptr);
    EXPECT_EQ(result, OpenResult::Ok);
}

TEST_F(Faults, NewNodeNotOpenableAtOnce) {
    host.reset();
    hub.unplug();
    hub.setOpenDelay(Ms(40));
    hub.plug();
    OpenResult result = OpenResult::Ok;
    EXPECT_EQ(bus.open(hub.path(), &result), nullptr);
    EXPECT_EQ(result, OpenResult::Failed);
    std::this_thread::sleep_for(Ms(45));
    EXPECT_NE(bus.open(hub.path(), &result), nullptr);
    EXPECT_EQ(result, OpenResult::Ok);
}

TEST_F(Faults, InterruptedReadFailsOnceAndTheHandleLivesOn) {
    host.reset(); // its reader would stop at the -1
    OpenResult result;
    auto handle = bus.open(hub.path(), &result);
    ASSERT_TRUE(handle);
    hub.interruptReads();
    std::uint8_t buf[65];
    EXPECT_EQ(bus.readTimeout(*handle, buf, sizeof buf, 100), -1);
    EXPECT_EQ(bus.readTimeout(*handle, buf, sizeof buf, 0), 0);
    EXPECT_TRUE(hub.isPlugged());
    OutputReport report{};
    ASSERT_TRUE(BuildOutputReport(CMD_GET_STATE, TFrameRequest{}, report));
    ASSERT_EQ(bus.write(*handle, report.data(), report.size()), 65);
    EXPECT_EQ(bus.readTimeout(*handle, buf, sizeof buf, 100), 65);
    EXPECT_EQ(buf[5], STATUS_APP_RUNNING);
}

TEST_F(Faults, ClearFaultsRestoresNormalReplies) {
    hub.setSilentTo(CMD_GET_STATE);
    hub.addStatusFault(CMD_GET_LEDS, 0, 9);
    hub.setExtraLatency(Ms(200));
    hub.clearFaults();
    EXPECT_EQ(host->status(CMD_GET_STATE), STATUS_APP_RUNNING);
    EXPECT_EQ(host->status(CMD_GET_LEDS), 0);
}

class Injected : public Faults, public ::testing::WithParamInterface<Bytes> {};

TEST_P(Injected, ReportsArriveAsGiven) {
    ASSERT_TRUE(hub.injectReport(GetParam()));
    const auto got = host->next();
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Reports, Injected,
                         ::testing::Values(Bytes{0x00}, Bytes{0x00, 0xAA, 0x06, 0x00, 0x01},
                                           Bytes(65, 0x55), Bytes(65, 0x00),
                                           Bytes{0x00, 0x55, 0x06, 0x00, 0x04, 0x00}));

TEST_F(Faults, InjectRefusesWhatNoReportCanBe) {
    EXPECT_FALSE(hub.injectReport({}));
    EXPECT_FALSE(hub.injectReport(Bytes(66, 0)));
    hub.unplug();
    EXPECT_FALSE(hub.injectReport({0x00, 0x55}));
}

TEST_F(Faults, FloodAtAGivenRate) {
    const Bytes noise{0x00, 0x12, 0x34};
    hub.startFlood(noise, std::chrono::milliseconds(2), 25);
    for (int i = 0; i < 25; ++i) {
        const auto got = host->next(Ms(500));
        ASSERT_TRUE(got) << "report " << i;
        EXPECT_EQ(*got, noise);
    }
    EXPECT_FALSE(host->next(Ms(30))) << "more than the count";

    const auto t0 = Clock::now();
    hub.startFlood(noise, std::chrono::milliseconds(5));
    std::this_thread::sleep_for(Ms(100));
    hub.stopFlood();
    const auto elapsed = Clock::now() - t0;
    std::this_thread::sleep_for(Ms(20));
    const std::size_t got = host->pending();
    EXPECT_GE(got, 5u);
    EXPECT_LE(got, static_cast<std::size_t>(elapsed / Ms(5)) + 2);
    std::this_thread::sleep_for(Ms(30));
    EXPECT_EQ(host->pending(), got) << "flood went on after stopFlood";
}

TEST_F(Faults, FloodDoesNotHideReplies) {
    hub.startFlood({0x00, 0x01}, std::chrono::microseconds(500));
    ASSERT_GT(host->send(CMD_GET_STATE), 0);
    bool replied = false;
    for (int i = 0; i < 500 && !replied; ++i) {
        const auto r = host->next(Ms(200));
        ASSERT_TRUE(r);
        replied = r->size() == OUTPUT_REPORT_SIZE && (*r)[1] == FRAME_SYNC;
    }
    EXPECT_TRUE(replied);
    hub.stopFlood();
}

} // namespace
