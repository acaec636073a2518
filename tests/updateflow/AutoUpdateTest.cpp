#include "FlowWindow.h"

#include <QPushButton>

using namespace flow;
using namespace hublink;
namespace ut = hidiap::updatetexts;

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

std::int64_t Ms_(steady_clock::duration d) {
    return std::chrono::duration_cast<milliseconds>(d).count();
}

bool CycleIdle(FlowWindow& fw) {
    return !AutoUpdatePending && fw.w->tmrAuto->isActive() && fw.w->chkAutoPRG->isEnabled();
}

TEST(AutoUpdate, BoxSwitchesTimerAndButtons) {
    FlowWindow fw;
    fw.w->chkAutoPRG->click();
    EXPECT_TRUE(fw.w->tmrAuto->isActive());
    EXPECT_FALSE(fw.w->btnConnect->isEnabled());
    EXPECT_FALSE(fw.w->btnUpdate->isEnabled());
    fw.w->chkAutoPRG->click();
    EXPECT_FALSE(fw.w->tmrAuto->isActive());
    EXPECT_TRUE(fw.w->btnConnect->isEnabled());
    EXPECT_TRUE(fw.w->btnUpdate->isEnabled());
}

// Plugged with the box checked: the cycle starts on the second tick, checks, updates, checks
// again, and one plug-in gives one cycle, although the hub came back twice on the way.
TEST(AutoUpdate, PlugInRunsOneCycleOfCheckUpdateCheck) {
    FlowWindow fw(false);
    fw.hub.setReenumerationDelays(Ms(20), Ms(30));
    fw.UseImage(SmallImage());
    fw.w->chkAutoPRG->click();
    ASSERT_TRUE(fw.w->chkAutoPRG->isChecked());

    // What the cycle looks like from inside its waits.
    bool timerRanDuringUpdate = false, boxEnabledDuringUpdate = false, boxUnchecked = false;
    bool bootLoaderSelected = false, flagClearWhenBootLoaderSelected = false;
    Probe probe(5, [&] {
        if (!UpdateInProgress && fw.w->pnlUpdate->isEnabled())
            return; // outside the update
        timerRanDuringUpdate |= fw.w->tmrAuto->isActive();
        boxEnabledDuringUpdate |= fw.w->chkAutoPRG->isEnabled();
        fw.w->chkAutoPRG->click(); // a disabled box ignores it
        boxUnchecked |= !fw.w->chkAutoPRG->isChecked();
        if (fw.hub.mode() == emuhub::HubMode::BootLoader && fw.w->FHub && !bootLoaderSelected) {
            bootLoaderSelected = true;
            flagClearWhenBootLoaderSelected = !UpdateInProgress;
        }
    });
    fw.bus.clearTrace();
    const auto plugged = steady_clock::now();
    fw.hub.plug();

    ASSERT_TRUE(PumpUntil([&] { return AutoUpdatePending; }, 2000));
    ASSERT_TRUE(PumpUntil([&] { return fw.bus.trace().countReceived(CMD_GET_VERSION) > 0; }, 2000));
    const auto firstCheck = fw.bus.trace().receivedFrames(CMD_GET_VERSION).front().time;
    EXPECT_GE(Ms_(firstCheck - plugged), 500);
    EXPECT_LE(Ms_(firstCheck - plugged), 1100);

    ASSERT_TRUE(PumpUntil([&] { return fw.hub.imagesApplied() == 1 && CycleIdle(fw); }, 8000))
        << fw.bus.trace().dump();
    probe.timer.stop();

    EXPECT_EQ(fw.LogLines().last(), T(ut::DONE));
    EXPECT_EQ(fw.w->lblDeviceVersion->text(), T("版本: 1.1.15.0906"));
    EXPECT_EQ(fw.w->lblUpdateAvail->text(), T(ut::NO_UPDATE));
    EXPECT_TRUE(bootLoaderSelected);
    EXPECT_FALSE(flagClearWhenBootLoaderSelected);
    EXPECT_FALSE(timerRanDuringUpdate);
    EXPECT_FALSE(boxEnabledDuringUpdate);
    EXPECT_FALSE(boxUnchecked);

    // Check, update (run state, LED read, boot loader, records, restart), check.
    const auto commands =
        Only(fw.bus.trace().receivedCommands(), {CMD_GET_VERSION, CMD_ENTER_UPDATE, CMD_RESTART});
    EXPECT_EQ(commands,
              (std::vector<std::uint8_t>{CMD_GET_VERSION, CMD_GET_VERSION, CMD_ENTER_UPDATE,
                                         CMD_RESTART, CMD_GET_VERSION, CMD_GET_VERSION}));

    // The return after the restart armed the flag, and the end of the cycle cleared it.
    const std::size_t framesAfter = fw.bus.trace().ofKind(emuhub::TraceKind::Received).size();
    PumpFor(1500);
    EXPECT_EQ(fw.bus.trace().ofKind(emuhub::TraceKind::Received).size(), framesAfter);
    EXPECT_FALSE(AutoUpdatePending);
    EXPECT_EQ(fw.hub.imagesApplied(), 1u);
}

// A hub already there when the box is checked waits for a device change; a cycle armed just
// before the box is unchecked waits for it to be checked again.
TEST(AutoUpdate, ArmedFlagSurvivesUnchecking) {
    FlowWindow fw;
    fw.UseImage(SmallImage());
    fw.w->chkAutoPRG->click();
    fw.bus.clearTrace();
    PumpFor(1200);
    EXPECT_FALSE(AutoUpdatePending);
    EXPECT_TRUE(fw.bus.trace().receivedCommands().empty());

    // Any change of the HID devices re-selects the hub and arms the cycle.
    emuhub::EmulatedDecoy& mouse = fw.bus.addDecoy(0x046D, 0xC077);
    mouse.plug();
    ASSERT_TRUE(PumpUntil([&] { return AutoUpdatePending; }, 2000));
    fw.w->chkAutoPRG->click();
    ASSERT_FALSE(fw.w->tmrAuto->isActive());
    PumpFor(1200);
    EXPECT_TRUE(AutoUpdatePending);
    EXPECT_TRUE(fw.bus.trace().receivedCommands().empty());

    fw.w->chkAutoPRG->click();
    ASSERT_TRUE(PumpUntil([&] { return fw.hub.imagesApplied() == 1 && CycleIdle(fw); }, 8000))
        << fw.bus.trace().dump();
    EXPECT_EQ(fw.LogLines().last(), T(ut::DONE));
    EXPECT_EQ(fw.w->lblDeviceVersion->text(), T("版本: 1.1.15.0906"));
}

} // namespace
