// The fault matrix: one update per row with one fault injected by the emulated hub or by the
// test inside the run's waits. Every row checks that the run ends the way the table of ways out
// gives for it, in bounded time, with no frame that breaks the frame rules, and that a second
// update of the same hub (re-plugged first where a user would have to) completes with the whole
// image, the new version and the hub's own LED calibration.
#include "FlowWindow.h"

#include "SkinMessages.h"
#include "TrackBar.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>

#include <atomic>
#include <memory>
#include <ostream>
#include <thread>

using namespace flow;
using namespace hublink;
namespace ut = hidiap::updatetexts;

namespace {

using Clock = std::chrono::steady_clock;
using emuhub::HubMode;
using emuhub::LedValues;

enum class Way { Done, StateError, Timeout, Failed, AnyOfTheTable };

QStringList LogOf(Way way) {
    switch (way) {
    case Way::Done:
        return {T(ut::ENTER_UPDATE), T(ut::UPDATING), T(ut::RESTARTING) + T(ut::RESTART_OK),
                T(ut::DONE)};
    case Way::StateError:
        return {T(ut::ENTER_UPDATE), T(ut::STATE_ERROR)};
    case Way::Timeout:
        return {T(ut::ENTER_UPDATE), T(ut::UPDATING), T(ut::TIMEOUT)};
    case Way::Failed:
        return {T(ut::ENTER_UPDATE), T(ut::UPDATING), T(ut::RESTARTING), T(ut::FAILED)};
    case Way::AnyOfTheTable:
        break;
    }
    return {};
}

QString StatusOf(Way way) {
    switch (way) {
    case Way::Done:
        return T(ut::DONE);
    case Way::StateError:
        return T(ut::STATE_ERROR);
    case Way::Timeout:
        return T(ut::UPDATING); // the time-out path shows no status of its own
    case Way::Failed:
        return T(ut::FAILED);
    case Way::AnyOfTheTable:
        break;
    }
    return {};
}

// Which way out a finished log shows; AnyOfTheTable when it matches none of them.
Way WayOfLog(const QStringList& log) {
    for (Way w : {Way::Done, Way::StateError, Way::Timeout, Way::Failed})
        if (LogOf(w) == log)
            return w;
    return Way::AnyOfTheTable;
}

const char* WayName(Way w) {
    switch (w) {
    case Way::Done:
        return "success";
    case Way::StateError:
        return "boot loader not seen";
    case Way::Timeout:
        return "record frame failed";
    case Way::Failed:
        return "restart not confirmed";
    case Way::AnyOfTheTable:
        break;
    }
    return "none of the table";
}

// How the user gets the hub going again before the second update.
enum class Replug {
    No,         // the hub is on the bus and answers: just click again
    App,        // unplug (if still there) and plug in again; it powers up in its application
    BootLoader, // the same, and it powers up in its boot loader (an image left incomplete)
};

// What the hub must hold as its stored LED values after the second update.
enum class Leds {
    Kept,       // the values it had before the first run
    Factory,    // the first run could not read them, and its image reset them
    AsSliders,  // the test itself moved or read the sliders: whatever the sliders hold
    KeptIfRead, // Kept if the first run's read got through (the sliders hold the values);
                // otherwise as Factory once an image was applied, else untouched
};

struct FaultWindow;

struct Row {
    const char* name;
    std::function<void(FaultWindow&)> arrange; // before the click
    Way way;
    Replug replug;
    Leds leds;
};
void PrintTo(const Row& r, std::ostream* os) {
    *os << r.name;
}

constexpr std::uint8_t GS = CMD_GET_STATE, GL = CMD_GET_LEDS, EU = CMD_ENTER_UPDATE, DA = CMD_DATA,
                       AD = CMD_ADDR_DATA, RS = CMD_RESTART, SL = CMD_SET_LED, ST = CMD_STORE_LEDS;

// Occurrences of CMD_GET_STATE in an undisturbed run: the run state at the start, the first
// poll of the boot-loader wait (the re-enumeration is over by then), the first poll of the
// restart wait.
constexpr int STATE_AT_START = 1, STATE_IN_BOOT_WAIT = 2, STATE_IN_RESTART_WAIT = 3;
// SmallImage has three records.
constexpr int FIRST_RECORD = 1, MIDDLE_RECORD = 2, LAST_RECORD = 3;

struct FaultWindow : FlowWindow {
    emuhub::EmulatedDecoy& decoy = bus.addDecoy(0x046D, 0xC077);
    std::unique_ptr<Probe> probe;
    std::thread storm;
    std::atomic<bool> stormStop{false};
    LedValues before = hub.storedLeds();
    bool pagesSwitched = false; // the status strip shows only on the Tool page

    ~FaultWindow() { StopDisturbance(); }

    // The n-th CMD_SET_LED of the replay after the restart: the read before the update sends
    // one for every slider the read moved away from its start position 50.
    int ReplaySet(int n) const {
        return static_cast<int>(std::count_if(before.begin(), before.end(),
                                              [](std::uint8_t v) { return v != 50; })) +
               n;
    }

    void StopDisturbance() {
        probe.reset();
        stormStop = true;
        if (storm.joinable())
            storm.join();
        hub.stopFlood();
    }

    LedValues Sliders() const {
        LedValues v{};
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = static_cast<std::uint8_t>(w->rztrckbr[i]->Position());
        return v;
    }
};

// Actions run inside the update's waits.

// From a thread of its own, as a device would send them, not in step with the UI thread.
void InjectEvery(FaultWindow& fw, int periodMs, std::function<emuhub::Bytes(int)> make) {
    fw.storm = std::thread([&fw, periodMs, make] {
        for (int n = 0; !fw.stormStop; ++n) {
            fw.hub.injectReport(make(n));
            std::this_thread::sleep_for(std::chrono::milliseconds(periodMs));
        }
    });
}

// A report whose first byte after the report ID is not the sync byte.
emuhub::Bytes NotSyncReport(int n) {
    emuhub::Bytes r(65);
    r[0] = 0;
    for (std::size_t i = 1; i < r.size(); ++i)
        r[i] = static_cast<std::uint8_t>(n * 31 + i * 7);
    if (r[1] == FRAME_SYNC)
        r[1] = 0xAA;
    return r;
}

// 1 to 64 bytes: the report ID and 0 to 63 data bytes.
emuhub::Bytes ShortReport(int n) {
    emuhub::Bytes r = NotSyncReport(n);
    r.resize(static_cast<std::size_t>(1 + n % 64));
    return r;
}

// One full-speed interrupt report per millisecond, the most a hub's endpoint can deliver. The
// flood stops when the hub leaves the bus, so it is started again after each re-enumeration.
void Flood(FaultWindow& fw) {
    auto seen = std::make_shared<int>(-1);
    fw.probe = std::make_unique<Probe>(5, [&fw, seen] {
        const int gen = fw.hub.enumerationCount();
        if (gen != *seen && fw.hub.isPlugged()) {
            *seen = gen;
            fw.hub.startFlood(NotSyncReport(gen), std::chrono::microseconds(1000));
        }
    });
}

// Hundreds of device changes. With the hub in them, starting when CMD_ENTER_UPDATE is seen: the
// hub's own re-enumeration is cancelled and it ends up in its application.
void Storm(FaultWindow& fw, bool withHub) {
    auto start = [&fw, withHub] {
        fw.storm = std::thread([&fw, withHub] {
            for (int i = 0; i < 100 && !fw.stormStop; ++i) {
                if (withHub)
                    fw.hub.unplug();
                fw.decoy.plug();
                if (withHub)
                    fw.hub.plug();
                fw.decoy.unplug();
                std::this_thread::sleep_for(std::chrono::milliseconds(withHub ? 2 : 8));
            }
        });
    };
    if (!withHub) {
        start();
        return;
    }
    fw.probe = std::make_unique<Probe>(2, [&fw, start, started = false]() mutable {
        if (!started && fw.bus.trace().countReceived(EU) > 0) {
            started = true;
            start();
        }
    });
}

// Clicks on every button and check box of the Home and Update pages, and all three module
// commands, inside every wait. Nothing of this sends a frame: the update's panel is disabled.
void UpdatePageClicks(FaultWindow& fw) {
    fw.pagesSwitched = true;
    auto n = std::make_shared<int>(0);
    fw.probe = std::make_unique<Probe>(7, [&fw, n] {
        for (QWidget* page : {fw.w->rztbshtHome, fw.w->rztbshtUpdate})
            for (QAbstractButton* b : page->findChildren<QAbstractButton*>()) {
                b->click();
                if (qobject_cast<QCheckBox*>(b))
                    b->click(); // back as it was: leave the automatic update off
            }
        static constexpr int modules[] = {100, 101, 103};
        QCoreApplication::postEvent(fw.w.get(),
                                    new TSkinMessage(WM_SKIN_COMMAND, modules[(*n)++ % 3], -1));
    });
}

// The Tool page's buttons, check boxes and sliders inside every wait. Each of these sends a
// frame of its own from inside the wait, and nothing keeps exchanges from nesting, so the outer
// wait may take the nested exchange's reply as its own: the run can take any way out of the
// table, depending on which wait a click lands in.
void ToolPageClicks(FaultWindow& fw) {
    fw.pagesSwitched = true;
    fw.probe = std::make_unique<Probe>(40, [&fw] {
        QCoreApplication::postEvent(fw.w.get(), new TSkinMessage(WM_SKIN_COMMAND, 103, -1));
        for (QAbstractButton* b : fw.w->rztbshtTool->findChildren<QAbstractButton*>()) {
            b->click();
            if (qobject_cast<QCheckBox*>(b))
                b->click();
        }
        for (TRzTrackBar* bar : fw.w->rztrckbr) {
            const int p = bar->Position();
            bar->SetPosition(p == 100 ? 99 : p + 1);
            bar->SetPosition(p);
        }
    });
}

class FaultMatrix : public ::testing::TestWithParam<Row> {};

TEST_P(FaultMatrix, EndsAsTheTableSaysAndTheHubRecovers) {
    const Row& row = GetParam();
    FaultWindow fw;
    fw.ShowStatusStrip();
    const QStringList image = SmallImage();
    fw.UseImage(image);
    fw.bus.clearTrace();
    row.arrange(fw);

    const auto start = Clock::now();
    fw.w->btnUpdate->click();
    const auto took = Clock::now() - start;
    fw.StopDisturbance();

    // The way out: log, status, panel and flag as the table gives them. Five seconds of the
    // longer state wait, one poll over it, and a silent hub's LED read are the most a run takes.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 9000);
    const QStringList log = fw.LogLines();
    const Way way = row.way == Way::AnyOfTheTable ? WayOfLog(log) : row.way;
    EXPECT_NE(way, Way::AnyOfTheTable) << log.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(log, LogOf(way)) << fw.bus.trace().dump();
    if (!fw.pagesSwitched) {
        EXPECT_EQ(fw.Status(), StatusOf(way));
    }
    EXPECT_TRUE(fw.w->pnlUpdate->isEnabled());
    EXPECT_FALSE(UpdateInProgress);
    if (way == Way::Timeout) {
        EXPECT_TRUE(fw.LampIs(1));
    }
    {
        const emuhub::Trace trace = fw.bus.trace();
        EXPECT_FALSE(trace.anyRuleBroken()) << trace.dump();
        if (way != Way::Done && way != Way::Failed) {
            EXPECT_EQ(trace.countReceived(RS), 0u) << "restart after " << WayName(way);
        }
    }

    const bool readGotThrough = fw.Sliders() == fw.before;
    const bool imageApplied = fw.hub.imagesApplied() > 0;

    // The user gets the hub going again and runs the update once more.
    fw.hub.clearFaults();
    PumpFor(150); // a re-enumeration still under way ends
    if (row.replug != Replug::No) {
        if (fw.hub.isPlugged())
            fw.hub.unplug();
        ASSERT_TRUE(fw.WaitSelected(false));
        fw.hub.setStartInBootLoader(row.replug == Replug::BootLoader);
        fw.hub.plug();
    }
    ASSERT_TRUE(PumpUntil(
        [&] { return fw.hub.isPlugged() && fw.w->FHub != nullptr && fw.w->FHub->HasReader(); }));
    const std::uint64_t applied = fw.hub.imagesApplied();

    fw.w->btnUpdate->click();

    EXPECT_EQ(fw.LogLines(), LogOf(Way::Done)) << fw.bus.trace().dump();
    if (!fw.pagesSwitched) {
        EXPECT_EQ(fw.Status(), StatusOf(Way::Done));
    }
    EXPECT_TRUE(fw.w->pnlUpdate->isEnabled());
    EXPECT_FALSE(UpdateInProgress);
    EXPECT_EQ(fw.hub.imagesApplied(), applied + 1);
    EXPECT_EQ(fw.hub.receivedImage(), RecordsOf(image));
    EXPECT_EQ(fw.hub.version(), (emuhub::Version{0x11, 0x15, 0x09, 0x06}));
    EXPECT_EQ(fw.hub.mode(), HubMode::Application);
    switch (row.leds) {
    case Leds::Kept:
        EXPECT_EQ(fw.hub.storedLeds(), fw.before);
        break;
    case Leds::Factory:
        EXPECT_EQ(fw.hub.storedLeds(), (LedValues{50, 50, 50, 50, 50, 50, 50, 50}));
        break;
    case Leds::KeptIfRead:
        EXPECT_EQ(fw.hub.storedLeds(), readGotThrough || !imageApplied
                                           ? fw.before
                                           : (LedValues{50, 50, 50, 50, 50, 50, 50, 50}));
        break;
    case Leds::AsSliders:
        EXPECT_EQ(fw.hub.storedLeds(), fw.Sliders());
        break;
    }
    const emuhub::Trace trace = fw.bus.trace();
    EXPECT_FALSE(trace.anyRuleBroken()) << trace.dump();
}

// clang-format off
const Row ROWS[] = {
    // Unplugged at each phase. The hub leaves on receiving the frame, without answering it.
    // Unnoticed: gone, but no device change handled yet, so the first write fails at once.
    {"UnpluggedUnnoticed", [](FaultWindow& fw) { fw.hub.unplug(); },
     Way::StateError, Replug::App, Leds::Kept},
    {"UnplugAtStateQuery", [](FaultWindow& fw) { fw.hub.unplugAtCommand(GS, STATE_AT_START); },
     Way::StateError, Replug::App, Leds::Kept},
    // Gone in the boot loader with nothing received: it powers up there again, and the second
    // run replays the values the first one read.
    {"UnplugInBootLoaderWait", [](FaultWindow& fw) { fw.hub.unplugAtCommand(GS, STATE_IN_BOOT_WAIT); },
     Way::StateError, Replug::BootLoader, Leds::Kept},
    {"UnplugAtFirstRecord", [](FaultWindow& fw) { fw.hub.unplugAtCommand(DA, FIRST_RECORD); },
     Way::Timeout, Replug::BootLoader, Leds::Kept},
    // An incomplete image is not applied: the old application starts and is read afresh.
    {"UnplugAtMiddleRecord", [](FaultWindow& fw) { fw.hub.unplugAtCommand(AD, MIDDLE_RECORD); },
     Way::Timeout, Replug::App, Leds::Kept},
    {"UnplugAtLastRecord", [](FaultWindow& fw) { fw.hub.unplugAtCommand(AD, LAST_RECORD); },
     Way::Timeout, Replug::BootLoader, Leds::Kept},
    // The new firmware runs (with factory values) but the restart was never confirmed: the
    // values read by the first run are still to be given back.
    {"UnplugInRestartWait", [](FaultWindow& fw) { fw.hub.unplugAtCommand(GS, STATE_IN_RESTART_WAIT); },
     Way::Failed, Replug::App, Leds::Kept},
    // The replay is best effort, so the run still ends in success; the values that did not
    // reach the hub are given back by the next run.
    {"UnplugDuringLedReplay", [](FaultWindow& fw) { fw.hub.unplugAtCommand(SL, fw.ReplaySet(3)); },
     Way::Done, Replug::App, Leds::Kept},

    // Silent from that frame on; the user unplugs and plugs it in again.
    {"SilentAtStateQuery", [](FaultWindow& fw) { fw.hub.silentAtCommand(GS, STATE_AT_START); },
     Way::StateError, Replug::App, Leds::Kept},
    {"SilentInBootLoaderWait", [](FaultWindow& fw) { fw.hub.silentAtCommand(GS, STATE_IN_BOOT_WAIT); },
     Way::StateError, Replug::App, Leds::Kept},
    {"SilentAtFirstRecord", [](FaultWindow& fw) { fw.hub.silentAtCommand(DA, FIRST_RECORD); },
     Way::Timeout, Replug::BootLoader, Leds::Kept},
    {"SilentAtMiddleRecord", [](FaultWindow& fw) { fw.hub.silentAtCommand(AD, MIDDLE_RECORD); },
     Way::Timeout, Replug::App, Leds::Kept},
    {"SilentAtLastRecord", [](FaultWindow& fw) { fw.hub.silentAtCommand(DA, LAST_RECORD); },
     Way::Timeout, Replug::BootLoader, Leds::Kept},
    {"SilentInRestartWait", [](FaultWindow& fw) { fw.hub.silentAtCommand(GS, STATE_IN_RESTART_WAIT); },
     Way::Failed, Replug::App, Leds::Kept},
    {"SilentDuringLedReplay", [](FaultWindow& fw) { fw.hub.silentAtCommand(SL, fw.ReplaySet(1)); },
     Way::Done, Replug::App, Leds::Kept},

    // An error status (1) to each command the update sends. Statuses of frames whose result is
    // not read change nothing; the command takes effect all the same.
    // No run state at the start: nothing is read, and the new image brings factory values.
    {"ErrorToStateQuery", [](FaultWindow& fw) { fw.hub.addStatusFault(GS, STATE_AT_START, 1); },
     Way::Done, Replug::No, Leds::Factory},
    // One poll tells nothing; the next one sees the boot loader.
    {"ErrorToBootLoaderPoll", [](FaultWindow& fw) { fw.hub.addStatusFault(GS, STATE_IN_BOOT_WAIT, 1); },
     Way::Done, Replug::No, Leds::Kept},
    {"ErrorToGetLeds", [](FaultWindow& fw) { fw.hub.addStatusFault(GL, 1, 1); },
     Way::Done, Replug::No, Leds::Factory},
    {"ErrorToEnterUpdate", [](FaultWindow& fw) { fw.hub.addStatusFault(EU, 1, 1); },
     Way::Done, Replug::No, Leds::Kept},
    {"ErrorToData", [](FaultWindow& fw) { fw.hub.addStatusFault(DA, MIDDLE_RECORD, 1); },
     Way::Timeout, Replug::No, Leds::Kept},
    {"ErrorToAddrData", [](FaultWindow& fw) { fw.hub.addStatusFault(AD, MIDDLE_RECORD, 1); },
     Way::Timeout, Replug::No, Leds::Kept},
    {"ErrorToRestart", [](FaultWindow& fw) { fw.hub.addStatusFault(RS, 1, 1); },
     Way::Done, Replug::No, Leds::Kept},
    {"ErrorToSetLed", [](FaultWindow& fw) { fw.hub.addStatusFault(SL, fw.ReplaySet(1), 1); },
     Way::Done, Replug::No, Leds::Kept},
    {"ErrorToStoreLeds", [](FaultWindow& fw) { fw.hub.addStatusFault(ST, 1, 1); },
     Way::Done, Replug::No, Leds::Kept},

    // A reply 150 ms late: the first attempt runs out, the retransmission is answered at once,
    // and the late reply reaches a later wait or none.
    {"LateStateQuery", [](FaultWindow& fw) { fw.hub.addLateReply(GS, STATE_AT_START, Ms(150)); },
     Way::Done, Replug::No, Leds::Kept},
    {"LateBootLoaderPoll", [](FaultWindow& fw) { fw.hub.addLateReply(GS, STATE_IN_BOOT_WAIT, Ms(150)); },
     Way::Done, Replug::No, Leds::Kept},
    {"LateGetLeds", [](FaultWindow& fw) { fw.hub.addLateReply(GL, 1, Ms(150)); },
     Way::Done, Replug::No, Leds::Kept},
    {"LateEnterUpdate", [](FaultWindow& fw) { fw.hub.addLateReply(EU, 1, Ms(150)); },
     Way::Done, Replug::No, Leds::Kept},
    {"LateData", [](FaultWindow& fw) { fw.hub.addLateReply(DA, MIDDLE_RECORD, Ms(150)); },
     Way::Done, Replug::No, Leds::Kept},
    {"LateAddrData", [](FaultWindow& fw) { fw.hub.addLateReply(AD, LAST_RECORD, Ms(150)); },
     Way::Done, Replug::No, Leds::Kept},
    {"LateRestart", [](FaultWindow& fw) { fw.hub.addLateReply(RS, 1, Ms(150)); },
     Way::Done, Replug::No, Leds::Kept},
    {"LateSetLed", [](FaultWindow& fw) { fw.hub.addLateReply(SL, fw.ReplaySet(4), Ms(150)); },
     Way::Done, Replug::No, Leds::Kept},
    {"LateStoreLeds", [](FaultWindow& fw) { fw.hub.addLateReply(ST, 1, Ms(150)); },
     Way::Done, Replug::No, Leds::Kept},

    // Reports that are not replies end no wait. Every report overwrites the reply buffer,
    // though, so one handed over in the same pass as a reply, before the wait looks, costs that
    // attempt; at a thousand reports a second on a loaded machine a frame can lose all three.
    // So: any way out of the table, whole and consistent, and a hub that recovers; the
    // calibration is carried when its read got through.
    {"NotSyncReports", [](FaultWindow& fw) { InjectEvery(fw, 1, NotSyncReport); },
     Way::AnyOfTheTable, Replug::No, Leds::KeptIfRead},
    {"ShortReports", [](FaultWindow& fw) { InjectEvery(fw, 1, ShortReport); },
     Way::AnyOfTheTable, Replug::No, Leds::KeptIfRead},
    {"FloodOfReports", [](FaultWindow& fw) { Flood(fw); },
     Way::AnyOfTheTable, Replug::No, Leds::KeptIfRead},
    // One report every 20 ms does not come close enough to a reply to matter.
    {"SparseNotSyncReports", [](FaultWindow& fw) { InjectEvery(fw, 20, NotSyncReport); },
     Way::Done, Replug::No, Leds::Kept},

    // Device changes: a decoy coming and going keeps the hub selected (as a new object each
    // time); the hub itself coming and going cancels its switch into the boot loader.
    {"StormOfDecoyChanges", [](FaultWindow& fw) { Storm(fw, false); },
     Way::AnyOfTheTable, Replug::No, Leds::KeptIfRead},
    {"StormOfHubChanges", [](FaultWindow& fw) { Storm(fw, true); },
     Way::StateError, Replug::No, Leds::Kept},

    // Clicks and module switches inside the waits.
    {"UpdatePageClicksAndModuleSwitches", [](FaultWindow& fw) { UpdatePageClicks(fw); },
     Way::Done, Replug::No, Leds::Kept},
    // A read during the restart wait reads the new firmware's factory values into the sliders,
    // and those are what the replay stores: the user asked for it.
    {"ToolPageClicks", [](FaultWindow& fw) { ToolPageClicks(fw); },
     Way::AnyOfTheTable, Replug::No, Leds::AsSliders},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::ValuesIn(ROWS),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
