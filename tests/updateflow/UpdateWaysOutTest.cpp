#include "FlowWindow.h"

#include <QProgressBar>
#include <QPushButton>

#include <ostream>

using namespace flow;
using namespace hublink;
namespace ut = hidiap::updatetexts;

namespace {

constexpr std::uint8_t D = CMD_DATA, A = CMD_ADDR_DATA, E = CMD_ENTER_UPDATE, R = CMD_RESTART;

struct WayOut {
    const char* name;
    bool plugged;
    std::function<void(FlowWindow&)> arrange;
    std::vector<const char*> log; // nullptr entry: the restart line with "OK." appended
    const char* status;
    int lamp;                           // 0 green, 1 red
    std::vector<std::uint8_t> commands; // the update's own frames, in order
    emuhub::HubMode hubLeftIn;
    bool imageApplied;
};
void PrintTo(const WayOut& c, std::ostream* os) {
    *os << c.name;
}

class UpdateWayOut : public ::testing::TestWithParam<WayOut> {};

TEST_P(UpdateWayOut, LogStatusPanelFlagsAndFrames) {
    const WayOut& c = GetParam();
    FlowWindow fw(c.plugged);
    fw.ShowStatusStrip();
    fw.UseImage(SmallImage());
    c.arrange(fw);
    fw.w->mmoUplog->appendPlainText(QStringLiteral("left from before"));
    fw.bus.clearTrace();

    fw.w->btnUpdate->click();

    QStringList log;
    for (const char* line : c.log)
        log << (line ? T(line) : T(ut::RESTARTING) + T(ut::RESTART_OK));
    EXPECT_EQ(fw.LogLines(), log);
    EXPECT_EQ(fw.Status(), T(c.status));
    EXPECT_TRUE(fw.w->pnlUpdate->isEnabled());
    EXPECT_FALSE(UpdateInProgress);
    EXPECT_TRUE(fw.LampIs(c.lamp));
    const emuhub::Trace trace = fw.bus.trace();
    EXPECT_EQ(UpdateCommands(trace), c.commands) << trace.dump();
    EXPECT_FALSE(trace.anyRuleBroken()) << trace.dump();
    if (c.plugged) {
        EXPECT_EQ(fw.hub.mode(), c.hubLeftIn);
        EXPECT_EQ(fw.hub.imagesApplied(), c.imageApplied ? 1u : 0u);
    }
}

const std::vector<std::uint8_t> WHOLE{E, D, A, D, A, D, A, R};

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateWayOut,
    ::testing::Values(WayOut{"NoHub",
                             false,
                             [](FlowWindow&) {},
                             {ut::NO_HUB_LOG},
                             ut::NO_HUB_STATUS,
                             1,
                             {},
                             emuhub::HubMode::Application,
                             false},
                      WayOut{"BootLoaderNeverSeen",
                             true,
                             [](FlowWindow& fw) { fw.hub.setNeverEnterBootLoader(true); },
                             {ut::ENTER_UPDATE, ut::STATE_ERROR},
                             ut::STATE_ERROR,
                             0,
                             {E},
                             emuhub::HubMode::Application,
                             false},
                      WayOut{"RecordRefused",
                             true,
                             [](FlowWindow& fw) { fw.hub.addStatusFault(CMD_DATA, 2, 1); },
                             {ut::ENTER_UPDATE, ut::UPDATING, ut::TIMEOUT},
                             ut::UPDATING,
                             1,
                             {E, D, A, D},
                             emuhub::HubMode::BootLoader,
                             false},
                      WayOut{"RestartNotConfirmed",
                             true,
                             [](FlowWindow& fw) { fw.hub.setNeverComeBack(true); },
                             {ut::ENTER_UPDATE, ut::UPDATING, ut::RESTARTING, ut::FAILED},
                             ut::FAILED,
                             1,
                             WHOLE,
                             emuhub::HubMode::BootLoader,
                             false}, // and off the bus
                      WayOut{"Success",
                             true,
                             [](FlowWindow&) {},
                             {ut::ENTER_UPDATE, ut::UPDATING, nullptr, ut::DONE},
                             ut::DONE,
                             0,
                             WHOLE,
                             emuhub::HubMode::Application,
                             true},
                      // Gone while records are due: the next frame fails at once, the same way out
                      // as a refused one.
                      WayOut{"HubGoneMidImage",
                             true,
                             [](FlowWindow& fw) { fw.hub.unplugAfterRecords(2); },
                             {ut::ENTER_UPDATE, ut::UPDATING, ut::TIMEOUT},
                             ut::UPDATING,
                             1,
                             {E, D, A, D, A},
                             emuhub::HubMode::BootLoader,
                             false},
                      // Nothing of a line that cannot be read is sent, nor anything after it.
                      WayOut{"UnreadableLine",
                             true,
                             [](FlowWindow&) {
                                 QStringList lines = SmallImage();
                                 lines[1] = QStringLiteral(":107200811G21314");
                                 *FirmwareLines = lines;
                             },
                             {ut::ENTER_UPDATE, ut::UPDATING, ut::IMAGE_ERROR},
                             ut::UPDATING,
                             1,
                             {E, D, A},
                             emuhub::HubMode::BootLoader,
                             false}),
    [](const auto& info) { return std::string(info.param.name); });

// A record of count 3 carries an address and no data: four zero bytes, then the four address
// bytes, even though the previous, longer record left its data in the request record.
TEST(UpdateRecords, CountThreeSendsOnlyTheFourAddressBytes) {
    FlowWindow fw;
    fw.UseImage(
        {DataLine(0x2000, {1, 2, 3, 4, 5, 6, 7, 8}), QStringLiteral(":1032345CC"), END_LINE});
    fw.bus.clearTrace();
    fw.w->btnUpdate->click();
    ASSERT_EQ(fw.LogLines().last(), T(ut::DONE));

    const auto data = fw.bus.trace().receivedFrames(CMD_DATA);
    const auto addr = fw.bus.trace().receivedFrames(CMD_ADDR_DATA);
    ASSERT_EQ(data.size(), 2u);
    ASSERT_EQ(addr.size(), 2u);
    // Report ID first: frame byte k is bytes[k + 1]. n = 4 gives length byte 9.
    EXPECT_EQ(data[1].bytes[2], 9);
    EXPECT_EQ(Bytes(data[1].bytes.begin() + 5, data[1].bytes.begin() + 9), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(addr[1].bytes[2], 9);
    EXPECT_EQ(Bytes(addr[1].bytes.begin() + 5, addr[1].bytes.begin() + 9),
              (Bytes{0x45, 0x23, 0, 0}));
    EXPECT_EQ(fw.hub.receivedImage().back(), (ImageRecord{0x2345, {}}));
}

// The wait for a run state: its first query about 500 ms after the call, one every 500 ms up
// to the limit, and the window keeps serving events in between.
TEST(UpdateStateWait, PollsEveryHalfSecondAndKeepsTheWindowAlive) {
    FlowWindow fw;
    fw.UseImage(SmallImage());
    fw.hub.setNeverEnterBootLoader(true);
    std::vector<std::chrono::steady_clock::time_point> ticks;
    Probe probe(20, [&] { ticks.push_back(std::chrono::steady_clock::now()); });
    fw.bus.clearTrace();

    const auto start = std::chrono::steady_clock::now();
    fw.w->btnUpdate->click();
    const auto took = std::chrono::steady_clock::now() - start;

    const emuhub::Trace trace = fw.bus.trace();
    const auto enter = trace.receivedFrames(CMD_ENTER_UPDATE);
    const auto polls = trace.receivedFrames(CMD_GET_STATE);
    ASSERT_EQ(enter.size(), 1u);
    // The first query comes before the update (the run state at the start); the rest are polls.
    ASSERT_EQ(polls.size(), 11u) << trace.dump();
    using std::chrono::milliseconds;
    auto ms = [](auto d) { return std::chrono::duration_cast<milliseconds>(d).count(); };
    EXPECT_GE(ms(polls[1].time - enter[0].time), 500);
    EXPECT_LT(ms(polls[1].time - enter[0].time), 600);
    for (std::size_t i = 2; i < polls.size(); ++i) {
        EXPECT_GE(ms(polls[i].time - polls[i - 1].time), 500);
        EXPECT_LT(ms(polls[i].time - polls[i - 1].time), 600);
    }
    EXPECT_LT(ms(took), 5800);
    // A 20 ms timer kept ticking through the whole wait.
    ASSERT_GT(ticks.size(), 100u);
    std::int64_t longest = 0;
    for (std::size_t i = 1; i < ticks.size(); ++i)
        longest = std::max<std::int64_t>(longest, ms(ticks[i] - ticks[i - 1]));
    EXPECT_LT(longest, 150);
}

// The run leaves the panel disabled for its whole length, and the box usable.
TEST(UpdateGuards, PanelDisabledBoxUsableDuringTheRun) {
    FlowWindow fw;
    fw.UseImage(SmallImage());
    bool panelEverEnabled = false, boxEverDisabled = false, sawBootLoader = false;
    bool flagOutsideEntry = false, flagDuringEntry = true;
    Probe probe(5, [&] {
        panelEverEnabled |= fw.w->pnlUpdate->isEnabled();
        boxEverDisabled |= !fw.w->chkAutoPRG->isEnabled();
        if (fw.hub.mode() == emuhub::HubMode::BootLoader && fw.w->FHub) {
            sawBootLoader = true;
            // Records are being sent: the hub is no longer entering its boot loader.
            if (!fw.bus.trace().receivedFrames(CMD_DATA).empty())
                flagOutsideEntry |= UpdateInProgress;
            else // the boot loader just selected: a plug-in seen now must not arm a cycle
                flagDuringEntry &= UpdateInProgress;
        }
    });
    fw.bus.clearTrace();
    fw.w->btnUpdate->click();
    probe.timer.stop();
    ASSERT_EQ(fw.LogLines().last(), T(ut::DONE));
    EXPECT_TRUE(sawBootLoader);
    EXPECT_FALSE(panelEverEnabled);
    EXPECT_FALSE(boxEverDisabled);
    EXPECT_FALSE(flagOutsideEntry);
    EXPECT_TRUE(flagDuringEntry);
}

} // namespace
