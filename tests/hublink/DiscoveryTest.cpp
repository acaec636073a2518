// Finding the hub, keeping it selected across plug and unplug, and the link lamp.
#include "HubWindow.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>

#include <atomic>
#include <cstdlib>
#include <thread>

using namespace hublink;
using emuhub::TraceKind;

namespace {

bool LampIs(TfrmMain& w, int image) {
    return w.imgIndicator->pixmap().toImage() == w.ilLED[static_cast<std::size_t>(image)].toImage();
}

} // namespace

TEST(Discovery, NoDeviceGivesRedLampAndEmptyList) {
    HubWindow hw(false);
    EXPECT_EQ(hw.w->FHub, nullptr);
    EXPECT_EQ(hw.w->cbbPort->count(), 0);
    EXPECT_TRUE(LampIs(*hw.w, 1));
    EXPECT_FALSE(hw.w->ilLED[0].isNull());
    EXPECT_FALSE(hw.w->ilLED[1].isNull());
}

struct ArmCase {
    bool autoChecked;
    bool updateInProgress;
    bool armed;
};

class HubPluggedWhileRunning : public ::testing::TestWithParam<ArmCase> {};

TEST_P(HubPluggedWhileRunning, IsSelectedAndArmsOnlyInAutoMode) {
    const ArmCase c = GetParam();
    HubWindow hw(false);
    hw.w->chkAutoPRG->setChecked(c.autoChecked);
    UpdateInProgress = c.updateInProgress;
    hw.hub.plug();
    ASSERT_TRUE(hw.WaitSelected(true));
    EXPECT_EQ(hw.w->cbbPort->count(), 1);
    EXPECT_EQ(hw.w->cbbPort->currentIndex(), 0);
    EXPECT_EQ(hw.w->cbbPort->itemText(0), QStringLiteral("Hub0"));
    EXPECT_EQ(hw.w->FHub->Path(), hw.hub.path());
    EXPECT_TRUE(LampIs(*hw.w, 0));
    EXPECT_EQ(AutoUpdatePending, c.armed);
    UpdateInProgress = false;
}

INSTANTIATE_TEST_SUITE_P(Arming, HubPluggedWhileRunning,
                         ::testing::Values(ArmCase{false, false, false}, ArmCase{true, false, true},
                                           ArmCase{true, true, false}));

TEST(Discovery, TwoHubsFirstIsSelectedAndTheSecondNeverSeesAFrame) {
    HubWindow hw;
    emuhub::EmulatedHub& second = hw.bus.addHub("second");
    second.plug();
    ASSERT_TRUE(PumpUntil([&] { return hw.w->cbbPort->count() == 2; }));
    ASSERT_NE(hw.w->FHub, nullptr);
    EXPECT_EQ(hw.w->FHub->Path(), hw.hub.path());
    EXPECT_EQ(hw.w->cbbPort->itemText(1), QStringLiteral("Hub0"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(hw.w->SendFrame(CMD_GET_VERSION, TFrameRequest{}), 0);
    EXPECT_EQ(second.trace().count(TraceKind::Received), 0u);
    EXPECT_EQ(hw.hub.trace().countReceived(CMD_GET_VERSION), 3u);
    // The second hub is held but gets no reader.
    EXPECT_FALSE(hw.w->FHubList[1]->HasReader());
}

TEST(Discovery, DecoyPluggedReselectsTheHubAsANewObject) {
    HubWindow hw;
    hw.w->chkAutoPRG->setChecked(true);
    AutoUpdatePending = false;
    const THidDevicePtr before = hw.w->FHub;
    emuhub::EmulatedDecoy& decoy = hw.bus.addDecoy(0x046D, 0xC52B, "mouse");
    decoy.plug();
    ASSERT_TRUE(PumpUntil([&] { return hw.w->FHub && hw.w->FHub != before; }));
    EXPECT_FALSE(before->HasReader());
    EXPECT_TRUE(hw.w->FHub->HasReader());
    EXPECT_TRUE(LampIs(*hw.w, 0));
    EXPECT_TRUE(AutoUpdatePending);
    // The decoy is never opened.
    EXPECT_EQ(decoy.openHandleCount(), 0);
    EXPECT_EQ(hw.w->SendFrame(CMD_GET_STATE, TFrameRequest{}), 255);
}

TEST(Discovery, UnpluggedHubTurnsTheLampRedAndAPendingWaitRunsOut) {
    HubWindow hw;
    hw.hub.setSilent(true);
    QTimer::singleShot(30, [&] { hw.hub.unplug(); });
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(hw.w->SendFrame(CMD_GET_VERSION, TFrameRequest{}), -1);
    EXPECT_LT(t.elapsed(), 400);
    EXPECT_EQ(hw.w->FHub, nullptr);
    EXPECT_EQ(hw.w->cbbPort->count(), 0);
    EXPECT_TRUE(LampIs(*hw.w, 1));
}

TEST(Discovery, RescanWithNothingChangedKeepsTheHub) {
    HubWindow hw;
    const THidDevicePtr before = hw.w->FHub;
    EXPECT_TRUE(hw.w->RescanDevices());
    EXPECT_EQ(hw.w->FHub, before);
    EXPECT_TRUE(before->HasReader());
}

TEST(Discovery, PermissionDeniedHubIsSkippedWithOneWarning) {
    HubWindow hw(false);
    std::vector<std::string> warnings;
    hw.w->FHidCtl->OnPermissionDenied = [&](const HidDeviceInfo& info) {
        warnings.push_back(PermissionDeniedWarning(info));
    };
    hw.hub.setOpenDenied(true);
    hw.hub.plug();
    ASSERT_TRUE(PumpUntil([&] { return !warnings.empty(); }));
    // More device changes and rescans do not repeat it for the same appearance.
    emuhub::EmulatedDecoy& decoy = hw.bus.addDecoy(0x1234, 0x5678);
    decoy.plug();
    PumpFor(50);
    hw.w->RescanDevices();
    EXPECT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(hw.hub.path()), std::string::npos);
    EXPECT_NE(warnings[0].find("udev rule"), std::string::npos);
    EXPECT_EQ(hw.w->FHub, nullptr);
    EXPECT_TRUE(LampIs(*hw.w, 1));
    // A new appearance warns again.
    hw.hub.unplug();
    hw.hub.plug();
    ASSERT_TRUE(PumpUntil([&] { return warnings.size() == 2; }));
}

// A reader that is handing a report over when its device is released must not lock up the
// UI thread that waits for it to end.
TEST(Discovery, ReleasingAHubInTheMiddleOfAHandOverDoesNotLockUp) {
    HubWindow hw;
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 500 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done) {
            std::fprintf(stderr, "release during hand-over locked up\n");
            std::abort();
        }
    });
    emuhub::Bytes report(65, 0);
    report[1] = 0x55;
    for (int round = 0; round < 20; ++round) {
        // The reader takes a report and posts it; nothing is pumped, so it waits in the
        // hand-over while the UI thread releases the device.
        hw.hub.injectReport(report);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const THidDevicePtr hub = hw.w->FHub;
        ASSERT_TRUE(hub);
        hw.w->FHidCtl->CheckIn(hub);
        EXPECT_FALSE(hub->HasReader());
        hw.w->DevicesChanged();
        ASSERT_TRUE(hw.w->FHub);
    }
    done = true;
    watchdog.join();
}
