#include "FlowWindow.h"

#include "TrackBar.h"

#include <QPushButton>

#include <ostream>

using namespace flow;
using namespace hublink;
namespace ut = hidiap::updatetexts;

namespace {

void StartInBootLoader(FlowWindow& fw) {
    fw.hub.unplug();
    ASSERT_TRUE(fw.WaitSelected(false));
    fw.hub.setStartInBootLoader(true);
    fw.hub.plug();
    ASSERT_TRUE(fw.hub.waitForMode(emuhub::HubMode::BootLoader, Ms(1000)));
    ASSERT_TRUE(PumpUntil([&] { return fw.w->FHub != nullptr && fw.w->FHub->HasReader(); }));
}

// The application answers 0xFF: the values are read before the boot loader is entered and
// written back, channel by channel, after the restart, then stored.
TEST(LedCarry, ReadBeforeReplayedAndStoredAfter) {
    FlowWindow fw;
    fw.UseImage(SmallImage());
    const emuhub::LedValues before = fw.hub.storedLeds();
    ASSERT_NE(before, (emuhub::LedValues{50, 50, 50, 50, 50, 50, 50, 50}));
    fw.bus.clearTrace();

    fw.w->btnUpdate->click();
    ASSERT_EQ(fw.LogLines().last(), T(ut::DONE));

    const emuhub::Trace trace = fw.bus.trace();
    const auto all = trace.receivedCommands();
    const auto enter = std::find(all.begin(), all.end(), CMD_ENTER_UPDATE);
    const auto read = std::find(all.begin(), all.end(), CMD_GET_LEDS);
    ASSERT_NE(read, all.end());
    EXPECT_LT(read, enter);
    EXPECT_EQ(std::count(all.begin(), all.end(), CMD_GET_LEDS), 1);

    // After the restart: eight CMD_SET_LED, tags 1..8 with the values read, then the store.
    const auto restart = std::find(all.begin(), all.end(), CMD_RESTART);
    ASSERT_NE(restart, all.end());
    const std::vector<std::uint8_t> after =
        Only(std::vector<std::uint8_t>(restart, all.end()), {CMD_SET_LED, CMD_STORE_LEDS});
    EXPECT_EQ(after, (std::vector<std::uint8_t>{CMD_SET_LED, CMD_SET_LED, CMD_SET_LED, CMD_SET_LED,
                                                CMD_SET_LED, CMD_SET_LED, CMD_SET_LED, CMD_SET_LED,
                                                CMD_STORE_LEDS}));
    const auto sets = trace.receivedFrames(CMD_SET_LED);
    ASSERT_GE(sets.size(), 8u);
    const std::vector<emuhub::TraceEntry> replay(sets.end() - 8, sets.end());
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(replay[i].bytes[5], i + 1) << i;     // the tag
        EXPECT_EQ(replay[i].bytes[6], before[i]) << i; // the value read
        if (i > 0) {
            const auto gap = std::chrono::duration_cast<std::chrono::microseconds>(
                replay[i].time - replay[i - 1].time);
            EXPECT_GE(gap.count(), 10000) << i;
            EXPECT_LT(gap.count(), 40000) << i;
        }
    }
    EXPECT_EQ(fw.hub.storedLeds(), before);
    EXPECT_FALSE(LedCalibrationRead);
}

// No values read, none sent: the boot loader already running, or a reply that tells no state.
struct NoLedCase {
    const char* name;
    std::function<void(FlowWindow&)> arrange;
};
void PrintTo(const NoLedCase& c, std::ostream* os) {
    *os << c.name;
}

class NoLedCommand : public ::testing::TestWithParam<NoLedCase> {};

TEST_P(NoLedCommand, UpdateGoesOnWithoutLedFrames) {
    FlowWindow fw;
    fw.UseImage(SmallImage());
    GetParam().arrange(fw);
    fw.bus.clearTrace();

    fw.w->btnUpdate->click();

    EXPECT_EQ(fw.LogLines().last(), T(ut::DONE));
    const emuhub::Trace trace = fw.bus.trace();
    EXPECT_TRUE(LedCommands(trace).empty()) << trace.dump();
    EXPECT_EQ(trace.countReceived(CMD_ENTER_UPDATE), 1u) << trace.dump();
    EXPECT_EQ(fw.hub.imagesApplied(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    States, NoLedCommand,
    ::testing::Values(
        NoLedCase{"AlreadyInBootLoader", [](FlowWindow& fw) { StartInBootLoader(fw); }},
        NoLedCase{"Status0Byte2",
                  [](FlowWindow& fw) { fw.hub.addStatusFault(CMD_GET_STATE, 1, 0, Bytes{2}); }},
        NoLedCase{"Status1", [](FlowWindow& fw) { fw.hub.addStatusFault(CMD_GET_STATE, 1, 1); }}),
    [](const auto& info) { return std::string(info.param.name); });

// A run that read the values and then failed leaves them only in the sliders; the retry finds
// the boot loader, reads nothing, and must still give the hub back its own values.
TEST(LedCarry, FailedThenRetriedUpdateKeepsTheCalibration) {
    FlowWindow fw;
    fw.UseImage(SmallImage());
    const emuhub::LedValues before = fw.hub.storedLeds();
    fw.hub.addStatusFault(CMD_DATA, 2, 1);

    fw.w->btnUpdate->click();
    ASSERT_EQ(fw.LogLines().last(), T(ut::TIMEOUT));
    ASSERT_EQ(fw.hub.mode(), emuhub::HubMode::BootLoader);
    ASSERT_TRUE(PumpUntil([&] { return fw.w->FHub != nullptr; }));
    EXPECT_TRUE(LedCalibrationRead);

    fw.bus.clearTrace();
    fw.w->btnUpdate->click();
    ASSERT_EQ(fw.LogLines().last(), T(ut::DONE));

    const emuhub::Trace trace = fw.bus.trace();
    EXPECT_EQ(trace.countReceived(CMD_GET_LEDS), 0u);
    EXPECT_EQ(trace.countReceived(CMD_SET_LED), 8u);
    EXPECT_EQ(trace.countReceived(CMD_STORE_LEDS), 1u);
    EXPECT_EQ(fw.hub.imagesApplied(), 1u);
    EXPECT_EQ(fw.hub.storedLeds(), before);
    EXPECT_FALSE(LedCalibrationRead);

    // Stored once: a later run that finds a boot loader has nothing left to replay.
    StartInBootLoader(fw);
    fw.bus.clearTrace();
    fw.w->btnUpdate->click();
    ASSERT_EQ(fw.LogLines().last(), T(ut::DONE));
    EXPECT_TRUE(LedCommands(fw.bus.trace()).empty());
}

// Values read on the Tool page belong to whatever hub was plugged then: an update never carries
// them to another hub, whether that one runs its application or sits in its boot loader.
TEST(LedCarry, ToolPageValuesAreNeverCarriedToAnotherHub) {
    for (bool secondInBootLoader : {false, true}) {
        SCOPED_TRACE(secondInBootLoader ? "second hub in its boot loader" : "second hub running");
        FlowWindow fw;
        fw.UseImage(SmallImage());
        fw.w->btnStartAdj->click();
        ASSERT_TRUE(LedCalibrationRead);
        const emuhub::LedValues first = fw.hub.storedLeds();
        fw.hub.unplug();
        ASSERT_TRUE(fw.WaitSelected(false));

        emuhub::EmulatedHub& second = fw.bus.addHub("second");
        second.setReenumerationDelays(Ms(20), Ms(30));
        second.setExpectedImage(RecordsOf(*FirmwareLines));
        const emuhub::LedValues own = {11, 22, 33, 44, 55, 66, 77, 88};
        ASSERT_NE(own, first);
        second.setStoredLeds(own);
        second.setStartInBootLoader(secondInBootLoader);
        second.plug();
        ASSERT_TRUE(fw.WaitSelected(true));

        fw.w->btnUpdate->click();
        ASSERT_EQ(fw.LogLines().last(), T(ut::DONE));
        EXPECT_NE(second.storedLeds(), first);
        if (!secondInBootLoader)
            EXPECT_EQ(second.storedLeds(), own); // read afresh and carried across
        else
            EXPECT_TRUE(LedCommands(second.trace()).empty()); // nothing to carry
    }
}

} // namespace
