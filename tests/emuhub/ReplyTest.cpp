#include "HostLink.h"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>

using namespace emuhub;
using namespace hublink;

namespace {

constexpr LedValues CALIBRATION{10, 20, 30, 40, 50, 60, 70, 200};

RunData SampleRunData() {
    RunData r;
    r.voltage = 0x1234;
    r.current = 0xFFFF;
    r.state = 3;
    r.channel = 7;
    r.slotFlags = 0x50;
    r.extra = {9, 8, 7};
    return r;
}

// Expected reply frames, check bytes worked out by hand from the frame rules.
struct ReplyCase {
    const char* name;
    HubMode mode;
    std::uint8_t command;
    Bytes request;
    Bytes frame; // significant bytes; the rest of the 64 must be zero
};
void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

class ReplyBytes : public HubTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReplyBytes, MatchByteForByte) {
    const ReplyCase& c = GetParam();
    hub.setStartInBootLoader(c.mode == HubMode::BootLoader);
    hub.setStoredLeds(CALIBRATION);
    hub.setRunData(SampleRunData());
    hub.plug();
    auto host = connect();

    const auto reply = host->exchange(c.command, c.request);
    ASSERT_TRUE(reply) << hub.trace().dump();
    ASSERT_EQ(reply->size(), OUTPUT_REPORT_SIZE);
    EXPECT_EQ((*reply)[0], 0) << "report ID";
    EXPECT_EQ(FrameOf(*reply), Frame64(c.frame));
    EXPECT_EQ(CheckFrame(reply->data() + 1, FRAME_SIZE), FrameVerdict::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ReplyBytes,
    ::testing::Values(ReplyCase{"VersionNoData",
                                HubMode::Application,
                                CMD_GET_VERSION,
                                {},
                                {0x55, 0x0A, 0x00, 0x01, 0x00, 0x11, 0x14, 0x12, 0x25, 0x31}},
                      ReplyCase{"VersionOneByte",
                                HubMode::Application,
                                CMD_GET_VERSION,
                                {0x00},
                                {0x55, 0x0A, 0x00, 0x01, 0x00, 0x11, 0x14, 0x12, 0x25, 0x31}},
                      ReplyCase{"StateApplication",
                                HubMode::Application,
                                CMD_GET_STATE,
                                {},
                                {0x55, 0x06, 0x00, 0x04, 0xFF, 0xD3}},
                      ReplyCase{"RunData",
                                HubMode::Application,
                                CMD_GET_RUNDATA,
                                {},
                                {0x55, 0x10, 0x00, 0x10, 0x00, 0x34, 0x12, 0xFF, 0xFF, 0x03, 0x07,
                                 0x50, 0x09, 0x08, 0x07, 0x91}},
                      ReplyCase{"Leds",
                                HubMode::Application,
                                CMD_GET_LEDS,
                                {},
                                {0x55, 0x0E, 0x00, 0xF2, 0x00, 0x0A, 0x14, 0x1E, 0x28, 0x32, 0x3C,
                                 0x46, 0xC8, 0xBE}},
                      ReplyCase{"SetLed",
                                HubMode::Application,
                                CMD_SET_LED,
                                {1, 50},
                                {0x55, 0x06, 0x00, 0xF1, 0x00, 0x16}},
                      ReplyCase{"StoreLeds",
                                HubMode::Application,
                                CMD_STORE_LEDS,
                                {},
                                {0x55, 0x06, 0x00, 0xF3, 0x00, 0x18}},
                      ReplyCase{"EnterUpdate",
                                HubMode::Application,
                                CMD_ENTER_UPDATE,
                                {},
                                {0x55, 0x06, 0x00, 0x07, 0x00, 0xDA}},
                      ReplyCase{"RestartApplication",
                                HubMode::Application,
                                CMD_RESTART,
                                {},
                                {0x55, 0x06, 0x00, 0x0B, 0x00, 0xFE}},
                      ReplyCase{"RecordInApplicationRefused",
                                HubMode::Application,
                                CMD_DATA,
                                {0, 0, 0, 0, 1},
                                {0x55, 0x06, 0x00, 0x09, 0x01, 0xF0}},
                      ReplyCase{"UnknownCommandRefused",
                                HubMode::Application,
                                0x33,
                                {},
                                {0x55, 0x06, 0x00, 0x33, 0x01, 0x56}},
                      ReplyCase{"SetLedChannelNineRefused",
                                HubMode::Application,
                                CMD_SET_LED,
                                {9, 50},
                                {0x55, 0x06, 0x00, 0xF1, 0x01, 0x16}},
                      ReplyCase{"StateBootLoader",
                                HubMode::BootLoader,
                                CMD_GET_STATE,
                                {},
                                {0x55, 0x07, 0x00, 0x04, 0x00, 0x01, 0x21}},
                      ReplyCase{"EnterUpdateInBootLoader",
                                HubMode::BootLoader,
                                CMD_ENTER_UPDATE,
                                {},
                                {0x55, 0x06, 0x00, 0x07, 0x00, 0xDA}},
                      ReplyCase{"DataInBootLoader",
                                HubMode::BootLoader,
                                CMD_DATA,
                                {0, 0, 0, 0, 0xAB},
                                {0x55, 0x06, 0x00, 0x09, 0x00, 0xF0}},
                      ReplyCase{"VersionInBootLoaderRefused",
                                HubMode::BootLoader,
                                CMD_GET_VERSION,
                                {},
                                {0x55, 0x06, 0x00, 0x01, 0x01, 0xC8}},
                      ReplyCase{"LedsInBootLoaderRefused",
                                HubMode::BootLoader,
                                CMD_GET_LEDS,
                                {},
                                {0x55, 0x06, 0x00, 0xF2, 0x01, 0x1F}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HubTest, SetLedChangesOnlyItsLiveChannelAndKeepsValuesAbove100) {
    hub.setStoredLeds(CALIBRATION);
    hub.plug();
    auto host = connect();
    ASSERT_EQ(host->status(CMD_SET_LED, {3, 150}), 0);
    ASSERT_EQ(host->status(CMD_SET_LED, {8, 0}), 0);

    LedValues expected = CALIBRATION;
    expected[2] = 150;
    expected[7] = 0;
    EXPECT_EQ(hub.liveLeds(), expected);
    EXPECT_EQ(hub.storedLeds(), CALIBRATION) << "CMD_SET_LED must not store";
    const auto reply = host->exchange(CMD_GET_LEDS);
    ASSERT_TRUE(reply);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), reply->begin() + 6));

    ASSERT_EQ(host->status(CMD_STORE_LEDS), 0);
    EXPECT_EQ(hub.storedLeds(), expected);
    EXPECT_FALSE(hub.trace().anyRuleBroken());
}

// Every way a report can break the rules: no reply, and the trace names the fault.
struct BadReport {
    const char* name;
    std::size_t length;
    std::size_t index; // byte of the good report to change (report ID at 0)
    std::uint8_t value;
    ReportCheck check;
};
void PrintTo(const BadReport& c, std::ostream* os) {
    *os << c.name;
}

class BadReports : public HubTest, public ::testing::WithParamInterface<BadReport> {};

TEST_P(BadReports, GetNoReplyAndAreTraced) {
    const BadReport& c = GetParam();
    hub.plug();
    auto host = connect();
    // 00 | 55 06 00 01 00 C8: CMD_GET_VERSION with one data byte
    Bytes report(OUTPUT_REPORT_SIZE, 0);
    const Bytes good{0x00, 0x55, 0x06, 0x00, 0x01, 0x00, 0xC8};
    std::copy(good.begin(), good.end(), report.begin());
    report[c.index] = c.value;
    report.resize(c.length);

    ASSERT_EQ(host->sendRaw(report), static_cast<int>(c.length));
    const bool replied = host->next(Ms(60)).has_value();
    const Trace trace = hub.trace();
    const auto received = trace.ofKind(TraceKind::Received);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].check, c.check) << received[0].describe();
    EXPECT_EQ(received[0].bytes, report);
    EXPECT_EQ(replied, c.check == ReportCheck::Ok);
    EXPECT_EQ(trace.anyRuleBroken(), c.check != ReportCheck::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    FrameRules, BadReports,
    ::testing::Values(BadReport{"Good", 65, 0, 0x00, ReportCheck::Ok},
                      // the last data byte lies outside the check: changing it keeps the frame good
                      BadReport{"LastDataByteNotCovered", 65, 5, 0x7E, ReportCheck::Ok},
                      BadReport{"WithoutReportId", 64, 0, 0x00, ReportCheck::BadReportLength},
                      BadReport{"TooLong", 66, 0, 0x00, ReportCheck::BadReportLength},
                      BadReport{"ReportIdOne", 65, 0, 0x01, ReportCheck::BadReportId},
                      BadReport{"Sync", 65, 1, 0x54, ReportCheck::BadSync},
                      BadReport{"LengthFour", 65, 2, 0x04, ReportCheck::BadLength},
                      BadReport{"LengthSixtyFive", 65, 2, 0x41, ReportCheck::BadLength},
                      BadReport{"ZeroByte", 65, 3, 0x01, ReportCheck::BadZeroByte},
                      BadReport{"CheckByte", 65, 6, 0xC9, ReportCheck::BadCheckByte},
                      BadReport{"CommandCovered", 65, 4, 0x04, ReportCheck::BadCheckByte}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HubTest, ReplyLatencyIsHonoured) {
    hub.setReplyLatency(Ms(60));
    hub.plug();
    auto host = connect();
    const auto t0 = Clock::now();
    ASSERT_GT(host->send(CMD_GET_STATE), 0);
    EXPECT_FALSE(host->next(Ms(35))) << "reply came early";
    const auto reply = host->next(Ms(500));
    ASSERT_TRUE(reply);
    EXPECT_GE(Clock::now() - t0, Ms(60));
    EXPECT_EQ((*reply)[5], STATUS_APP_RUNNING);
}

TEST_F(HubTest, EveryOpenHandleGetsEveryReport) {
    hub.plug();
    auto a = connect();
    auto b = connect();
    EXPECT_EQ(hub.openHandleCount(), 4);
    ASSERT_GT(a->send(CMD_GET_STATE), 0);
    const auto ra = a->next();
    const auto rb = b->next();
    ASSERT_TRUE(ra && rb);
    EXPECT_EQ(*ra, *rb);
    b.reset();
    EXPECT_EQ(hub.openHandleCount(), 2);
}

TEST_F(HubTest, DecoysAndASecondHubShareTheBus) {
    EmulatedDecoy& mouse = bus.addDecoy(0x046D, 0xC077, "mouse");
    EmulatedDecoy& sameVendor = bus.addDecoy(HUB_VENDOR_ID, 0x0019, "other");
    EmulatedHub& second = bus.addHub("hub2");
    second.setVersion({0x11, 0x15, 0x09, 0x06});
    hub.plug();
    mouse.plug();
    sameVendor.plug();
    second.plug();

    auto list = bus.enumerate();
    ASSERT_EQ(list.size(), 4u);
    std::vector<std::pair<std::uint16_t, std::uint16_t>> ids;
    for (const auto& info : list)
        ids.emplace_back(info.vendorId, info.productId);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), std::make_pair(HUB_VENDOR_ID, HUB_PRODUCT_ID)), 2);
    EXPECT_NE(hub.path(), second.path());

    for (EmulatedDevice* decoy :
         {static_cast<EmulatedDevice*>(&mouse), static_cast<EmulatedDevice*>(&sameVendor)}) {
        HostLink host(bus, decoy->path());
        ASSERT_TRUE(host.ok());
        EXPECT_FALSE(host.exchange(CMD_GET_VERSION, {}, Ms(60))) << decoy->name() << " answered";
        EXPECT_EQ(decoy->trace().countReceived(CMD_GET_VERSION), 1u);
    }

    HostLink one(bus, hub.path());
    HostLink two(bus, second.path());
    const auto v1 = one.exchange(CMD_GET_VERSION);
    const auto v2 = two.exchange(CMD_GET_VERSION);
    ASSERT_TRUE(v1 && v2);
    EXPECT_EQ(Bytes(v1->begin() + 6, v1->begin() + 10), (Bytes{0x11, 0x14, 0x12, 0x25}));
    EXPECT_EQ(Bytes(v2->begin() + 6, v2->begin() + 10), (Bytes{0x11, 0x15, 0x09, 0x06}));
    EXPECT_FALSE(one.next(Ms(30))) << "a reply of the other hub leaked";
    EXPECT_EQ(hub.trace().countReceived(CMD_GET_VERSION), 1u);
    EXPECT_EQ(second.trace().countReceived(CMD_GET_VERSION), 1u);

    mouse.unplug();
    EXPECT_EQ(bus.enumerate().size(), 3u);
}

TEST_F(HubTest, OpenNeedsTheCurrentPath) {
    OpenResult result = OpenResult::Ok;
    EXPECT_EQ(bus.open("emu:hub1#1", &result), nullptr) << "not plugged yet";
    EXPECT_EQ(result, OpenResult::Failed);
    hub.plug();
    const std::string first = hub.path();
    EXPECT_EQ(first, "emu:hub1#1");
    hub.unplug();
    EXPECT_TRUE(bus.enumerate().empty());
    hub.plug();
    EXPECT_NE(hub.path(), first);
    EXPECT_EQ(bus.open(first, &result), nullptr);
    EXPECT_EQ(result, OpenResult::Failed);
    EXPECT_NE(bus.open(hub.path(), &result), nullptr);
    EXPECT_EQ(result, OpenResult::Ok);
}

} // namespace
