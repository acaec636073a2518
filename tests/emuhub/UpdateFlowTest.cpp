#include "HostLink.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace emuhub;
using namespace hublink;

namespace {

constexpr LedValues CALIBRATION{61, 39, 58, 42, 73, 27, 64, 36};
constexpr LedValues FACTORY{50, 50, 50, 50, 50, 50, 50, 50};

std::vector<ImageRecord> SmallImage() {
    std::vector<ImageRecord> image;
    for (std::uint16_t i = 0; i < 5; ++i) {
        Bytes data(16);
        for (std::size_t k = 0; k < data.size(); ++k)
            data[k] = static_cast<std::uint8_t>(i * 16 + k);
        image.push_back({static_cast<std::uint16_t>(0x2000 + 16 * i), data});
    }
    image.push_back({0x3000, {0xDE, 0xAD, 0xBE, 0xEF}});
    return image;
}

Version VersionIn(const Bytes& reply) {
    return {reply[6], reply[7], reply[8], reply[9]};
}

class UpdateFlow : public HubTest {
protected:
    // ENTER_UPDATE on a connected application, then a link to the boot loader.
    std::unique_ptr<HostLink> enterBootLoader(HostLink& app) {
        EXPECT_EQ(app.status(CMD_ENTER_UPDATE), 0);
        EXPECT_TRUE(app.waitReaderFailed(Ms(1000))) << "old handle still readable";
        EXPECT_TRUE(hub.waitForMode(HubMode::BootLoader, Ms(1000))) << hub.trace().dump();
        return connect();
    }

    std::unique_ptr<HostLink> restartInto(HostLink& link, HubMode mode) {
        EXPECT_EQ(link.status(CMD_RESTART), 0);
        EXPECT_TRUE(link.waitReaderFailed(Ms(1000)));
        EXPECT_TRUE(hub.waitForMode(mode, Ms(1000))) << hub.trace().dump();
        return connect();
    }

    void sendImage(HostLink& boot, const std::vector<ImageRecord>& image) {
        for (const ImageRecord& r : image)
            ASSERT_EQ(boot.sendRecord(r.address, r.data), std::make_pair(0, 0));
    }
};

TEST_F(UpdateFlow, EnterUpdateAndRestartReenumerateUnderNewPaths) {
    ChangeCounter changes(bus);
    hub.plug();
    EXPECT_EQ(changes.count(), 1);
    const std::string appPath = hub.path();
    auto app = connect();

    auto boot = enterBootLoader(*app);
    const std::string bootPath = hub.path();
    EXPECT_NE(bootPath, appPath);
    EXPECT_TRUE(changes.waitFor(3, Ms(500))) << "leave and return must both notify";
    ASSERT_EQ(bus.enumerate().size(), 1u);
    EXPECT_EQ(bus.enumerate()[0].path, bootPath);
    EXPECT_EQ(bus.enumerate()[0].productId, HUB_PRODUCT_ID);
    EXPECT_EQ(app->sendRaw(Bytes(65, 0)), -1) << "write on a handle of the old device";

    const auto state = boot->exchange(CMD_GET_STATE);
    ASSERT_TRUE(state);
    EXPECT_EQ((*state)[5], 0);
    EXPECT_EQ((*state)[6], 1);

    auto back = restartInto(*boot, HubMode::Application);
    EXPECT_NE(hub.path(), bootPath);
    EXPECT_NE(hub.path(), appPath);
    EXPECT_EQ(back->status(CMD_GET_STATE), STATUS_APP_RUNNING);
    EXPECT_TRUE(changes.waitFor(5, Ms(500)));
    EXPECT_EQ(hub.enumerationCount(), 3);

    // The events in their order: leave, return, mode change; twice.
    std::vector<TraceKind> events;
    const Trace trace = hub.trace();
    for (const TraceEntry& e : trace.entries())
        if (e.kind != TraceKind::Received && e.kind != TraceKind::Sent)
            events.push_back(e.kind);
    const std::vector<TraceKind> expected{TraceKind::Plugged,      TraceKind::Unplugged,
                                          TraceKind::Reenumerated, TraceKind::ModeChanged,
                                          TraceKind::Unplugged,    TraceKind::Reenumerated,
                                          TraceKind::ModeChanged};
    EXPECT_EQ(events, expected) << trace.dump();
}

TEST_F(UpdateFlow, ReenumerationDelaysAreHonoured) {
    hub.setReenumerationDelays(Ms(60), Ms(80));
    hub.plug();
    auto app = connect();
    const auto t0 = Clock::now();
    ASSERT_EQ(app->status(CMD_ENTER_UPDATE), 0);
    EXPECT_FALSE(hub.waitForPlugged(false, Ms(30))) << "left too early";
    ASSERT_TRUE(hub.waitForPlugged(false, Ms(500)));
    const auto left = Clock::now();
    EXPECT_GE(left - t0, Ms(60));
    ASSERT_TRUE(hub.waitForMode(HubMode::BootLoader, Ms(500)));
    EXPECT_GE(Clock::now() - left, Ms(75));
}

TEST_F(UpdateFlow, CompleteImageBringsNewVersionAndFactoryLeds) {
    hub.setStoredLeds(CALIBRATION);
    hub.setFactoryLeds(FACTORY);
    hub.setExpectedImage(SmallImage());
    hub.plug();
    auto app = connect();
    const auto before = app->exchange(CMD_GET_VERSION, {0});
    ASSERT_TRUE(before);
    EXPECT_EQ(VersionIn(*before), (Version{0x11, 0x14, 0x12, 0x25}));

    auto boot = enterBootLoader(*app);
    sendImage(*boot, SmallImage());
    EXPECT_EQ(hub.receivedImage(), SmallImage());
    auto fresh = restartInto(*boot, HubMode::Application);

    const auto after = fresh->exchange(CMD_GET_VERSION, {0});
    ASSERT_TRUE(after);
    EXPECT_EQ(VersionIn(*after), (Version{0x11, 0x15, 0x09, 0x06}));
    EXPECT_EQ(hub.liveLeds(), FACTORY);
    EXPECT_EQ(hub.storedLeds(), FACTORY) << "the calibration must be lost unless replayed";
    EXPECT_EQ(hub.imagesApplied(), 1u);

    // Replaying and storing the calibration is what makes it survive the next power-up.
    for (std::uint8_t ch = 1; ch <= 8; ++ch)
        ASSERT_EQ(fresh->status(CMD_SET_LED, {ch, CALIBRATION[ch - 1]}), 0);
    ASSERT_EQ(fresh->status(CMD_STORE_LEDS), 0);
    auto again = restartInto(*fresh, HubMode::Application);
    EXPECT_EQ(hub.liveLeds(), CALIBRATION);

    const Trace trace = hub.trace();
    EXPECT_FALSE(trace.anyRuleBroken()) << trace.dump();
    EXPECT_EQ(trace.recordPairs(), SmallImage());
    EXPECT_EQ(trace.countReceived(CMD_DATA), SmallImage().size());
    EXPECT_EQ(trace.countSent(CMD_ADDR_DATA), SmallImage().size());
}

// What the boot loader got decides: a missing, an extra or a reordered record is not the image.
class ImageVariants : public UpdateFlow, public ::testing::WithParamInterface<int> {};

TEST_P(ImageVariants, OnlyTheExpectedImageCountsAsComplete) {
    std::vector<ImageRecord> sent = SmallImage();
    switch (GetParam()) {
    case 0:
        break;
    case 1:
        sent.pop_back();
        break;
    case 2:
        sent.push_back({0x4000, {1}});
        break;
    case 3:
        std::swap(sent[1], sent[2]);
        break;
    }
    const bool complete = GetParam() == 0;
    hub.setStoredLeds(CALIBRATION);
    hub.setExpectedImage(SmallImage());
    hub.setStartInBootLoader(true);
    hub.plug();
    auto boot = connect();
    sendImage(*boot, sent);
    auto app = restartInto(*boot, HubMode::Application);
    const auto version = app->exchange(CMD_GET_VERSION);
    ASSERT_TRUE(version);
    EXPECT_EQ(VersionIn(*version) == (Version{0x11, 0x15, 0x09, 0x06}), complete);
    EXPECT_EQ(hub.storedLeds() == CALIBRATION, !complete);
}

INSTANTIATE_TEST_SUITE_P(Images, ImageVariants, ::testing::Values(0, 1, 2, 3));

TEST_F(UpdateFlow, OnlyStoredLedsSurvivePowerUp) {
    for (const bool store : {false, true}) {
        for (const bool viaRestart : {false, true}) {
            SCOPED_TRACE(std::string(store ? "stored" : "not stored") +
                         (viaRestart ? ", restart" : ", replug"));
            hub.setStoredLeds(CALIBRATION);
            hub.plug();
            auto link = connect();
            ASSERT_EQ(link->status(CMD_SET_LED, {2, 99}), 0);
            if (store) {
                ASSERT_EQ(link->status(CMD_STORE_LEDS), 0);
            }
            if (viaRestart) {
                link = restartInto(*link, HubMode::Application);
            } else {
                link.reset();
                hub.unplug();
                hub.plug();
            }
            LedValues expected = CALIBRATION;
            if (store)
                expected[1] = 99;
            EXPECT_EQ(hub.liveLeds(), expected);
            link.reset();
            hub.unplug();
        }
    }
}

// Record frames out of pairing or order: the status of each frame and what is stored.
struct Step {
    std::uint8_t command;
    Bytes data;
    int status;
};
struct PairingCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<ImageRecord> stored;
    bool protocolError;
};
void PrintTo(const PairingCase& c, std::ostream* os) {
    *os << c.name;
}

class Pairing : public UpdateFlow, public ::testing::WithParamInterface<PairingCase> {};

TEST_P(Pairing, IsCheckedFrameByFrame) {
    const PairingCase& c = GetParam();
    hub.setStartInBootLoader(true);
    hub.plug();
    auto boot = connect();
    for (std::size_t i = 0; i < c.steps.size(); ++i)
        EXPECT_EQ(boot->status(c.steps[i].command, c.steps[i].data), c.steps[i].status)
            << "step " << i;
    EXPECT_EQ(hub.receivedImage(), c.stored);
    const Trace trace = hub.trace();
    EXPECT_EQ(trace.count(TraceKind::ProtocolError) > 0, c.protocolError) << trace.dump();
    EXPECT_EQ(trace.anyRuleBroken(), c.protocolError);
}

const Bytes Z4{0, 0, 0, 0};
Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
const Bytes AD{0x10, 0x20, 0, 0}; // address 0x2010
const Bytes D3{0xA1, 0xB2, 0xC3};

INSTANTIATE_TEST_SUITE_P(
    RecordFrames, Pairing,
    ::testing::Values(
        PairingCase{"Pair",
                    {{CMD_DATA, Cat(Z4, D3), 0}, {CMD_ADDR_DATA, Cat(AD, D3), 0}},
                    {{0x2010, D3}},
                    false},
        PairingCase{"RecordWithoutData",
                    {{CMD_DATA, Z4, 0}, {CMD_ADDR_DATA, AD, 0}},
                    {{0x2010, {}}},
                    false},
        PairingCase{"AddressFrameFirst", {{CMD_ADDR_DATA, Cat(AD, D3), 2}}, {}, true},
        PairingCase{"DataFrameNotZeroPrefixed", {{CMD_DATA, Cat({0, 0, 1, 0}, D3), 2}}, {}, true},
        PairingCase{"DataFrameTooShort", {{CMD_DATA, {0, 0}, 2}}, {}, true},
        PairingCase{"OtherData",
                    {{CMD_DATA, Cat(Z4, D3), 0}, {CMD_ADDR_DATA, Cat(AD, {0xA1, 0xB2, 0xC4}), 2}},
                    {},
                    true},
        PairingCase{"OtherLength",
                    {{CMD_DATA, Cat(Z4, D3), 0}, {CMD_ADDR_DATA, Cat(AD, {0xA1, 0xB2}), 2}},
                    {},
                    true},
        PairingCase{"UpperAddressBytes",
                    {{CMD_DATA, Cat(Z4, D3), 0}, {CMD_ADDR_DATA, Cat({0x10, 0x20, 1, 0}, D3), 2}},
                    {},
                    true},
        PairingCase{
            "TwoDataFrames", {{CMD_DATA, Cat(Z4, D3), 0}, {CMD_DATA, Cat(Z4, {7}), 2}}, {}, true},
        PairingCase{"DataRepeated",
                    {{CMD_DATA, Cat(Z4, D3), 0},
                     {CMD_DATA, Cat(Z4, D3), 0},
                     {CMD_ADDR_DATA, Cat(AD, D3), 0}},
                    {{0x2010, D3}},
                    false},
        PairingCase{"AddressFrameRepeated",
                    {{CMD_DATA, Cat(Z4, D3), 0},
                     {CMD_ADDR_DATA, Cat(AD, D3), 0},
                     {CMD_ADDR_DATA, Cat(AD, D3), 0}},
                    {{0x2010, D3}},
                    false},
        PairingCase{"AddressFrameOfAnotherRecordRepeated",
                    {{CMD_DATA, Cat(Z4, D3), 0},
                     {CMD_ADDR_DATA, Cat(AD, D3), 0},
                     {CMD_ADDR_DATA, Cat({0x20, 0x20, 0, 0}, D3), 2}},
                    {{0x2010, D3}},
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
