#include "ToolPageFixture.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace hublink;
using emuhub::RunData;

namespace {

struct Shown {
    QString volt, curr, state, channel, cyc1, cyc2, cyc3;
    std::array<QColor, 4> fills;
};

Shown Read(const TfrmMain& w) {
    return {
        w.edtVolt->text(),
        w.edtCurr->text(),
        w.edtState->text(),
        w.edtChannel->text(),
        w.edtCyc1->text(),
        w.edtCyc2->text(),
        w.edtCyc3->text(),
        {w.shp0->BrushColor(), w.shp1->BrushColor(), w.shp2->BrushColor(), w.shp3->BrushColor()}};
}

void ExpectSame(const Shown& a, const Shown& b) {
    EXPECT_EQ(a.volt, b.volt);
    EXPECT_EQ(a.curr, b.curr);
    EXPECT_EQ(a.state, b.state);
    EXPECT_EQ(a.channel, b.channel);
    EXPECT_EQ(a.cyc1, b.cyc1);
    EXPECT_EQ(a.cyc2, b.cyc2);
    EXPECT_EQ(a.cyc3, b.cyc3);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(a.fills[i], b.fills[i]) << "shp" << i;
}

class RunDataRead : public ::testing::Test {
protected:
    void SetUp() override {
        ShowToolPage(*hw.w);
        hw.bus.clearTrace();
    }
    std::size_t Reads() const { return hw.hub.trace().countReceived(CMD_GET_RUNDATA); }
    HubWindow hw;
};

// --- one read, table of replies ---------------------------------------------------------------

struct ReplyCase {
    const char* name;
    RunData data;
    const char *volt, *curr, *state, *channel, *cyc1, *cyc2, *cyc3;
    std::array<bool, 4> white; // shp0..shp3
};
void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

// Distinct values in every byte, so that a byte shown in the wrong box shows up.
const ReplyCase kReplies[] = {
    {"LowByteFirst",
     {0x1234, 0xFFFF, 7, 200, 0x50, {1, 2, 255}},
     "4660",
     "65535",
     "7",
     "200",
     "1",
     "2",
     "255",
     {true, false, true, false}},
    {"LowNibbleIgnored",
     {0, 1, 0, 9, 0x0F, {0, 10, 99}},
     "0",
     "1",
     "0",
     "9",
     "0",
     "10",
     "99",
     {false, false, false, false}},
    {"Batteries2And4",
     {0x00FF, 0x0100, 128, 3, 0xA0, {4, 5, 6}},
     "255",
     "256",
     "128",
     "3",
     "4",
     "5",
     "6",
     {false, true, false, true}},
    {"AllSlotsSet",
     {65535, 0, 255, 0, 0xFF, {255, 0, 1}},
     "65535",
     "0",
     "255",
     "0",
     "255",
     "0",
     "1",
     {true, true, true, true}},
};

class RunDataReply : public RunDataRead, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(RunDataReply, ShowsEveryField) {
    const ReplyCase& c = GetParam();
    auto& w = *hw.w;
    // Start from the opposite slot fills so that every rectangle has to be repainted.
    RunData opposite = c.data;
    opposite.slotFlags = static_cast<std::uint8_t>(~c.data.slotFlags & 0xF0);
    hw.hub.setRunData(opposite);
    w.btnRead->click();
    hw.hub.setRunData(c.data);
    w.btnRead->click();

    const QColor hl = Highlight(w);
    ASSERT_NE(hl, QColor(Qt::white));
    Shown want{c.volt, c.curr, c.state, c.channel, c.cyc1, c.cyc2, c.cyc3, {}};
    for (std::size_t i = 0; i < 4; ++i)
        want.fills[i] = c.white[i] ? QColor(Qt::white) : hl;
    ExpectSame(Read(w), want);
    EXPECT_EQ(Reads(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Replies, RunDataReply, ::testing::ValuesIn(kReplies),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RunDataRead, RequestIsTheBareCommandFrame) {
    hw.w->btnRead->click();
    const auto frames = hw.hub.trace().receivedFrames(CMD_GET_RUNDATA);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes.size(), OUTPUT_REPORT_SIZE);
    EXPECT_EQ(Head(frames[0], 6), (emuhub::Bytes{0x00, 0x55, 0x05, 0x00, 0x10, 0xA5}));
    EXPECT_EQ(frames[0].check, emuhub::ReportCheck::Ok);
}

// A reply that is not "done" must not be shown, even though it carries data.
TEST_F(RunDataRead, NonZeroStatusChangesNothing) {
    auto& w = *hw.w;
    hw.hub.setRunData({1000, 2000, 3, 4, 0x50, {5, 6, 7}});
    w.btnRead->click();
    const Shown before = Read(w);
    ASSERT_EQ(before.volt, "1000");

    hw.hub.setRunData({9, 9, 9, 9, 0x0F, {9, 9, 9}});
    hw.hub.addStatusFault(CMD_GET_RUNDATA, 1, emuhub::EMU_STATUS_REFUSED,
                          emuhub::Bytes{9, 0, 9, 0, 9, 9, 0x0F, 9, 9, 9});
    w.btnRead->click();
    EXPECT_EQ(Reads(), 2u);
    ExpectSame(Read(w), before);
}

TEST(RunDataNoHub, SendsNothingAndShowsNothing) {
    HubWindow hw(false);
    auto& w = *hw.w;
    ShowToolPage(w);
    ASSERT_EQ(w.FHub, nullptr);
    const Shown before = Read(w);
    w.btnRead->click();
    // Auto-refresh with no hub: ticks come, nothing goes out.
    w.chkRefresh->click();
    PumpFor(1200);
    w.chkRefresh->click();
    EXPECT_EQ(hw.bus.trace().count(emuhub::TraceKind::Received), 0u);
    ExpectSame(Read(w), before);
    EXPECT_TRUE(before.volt.isEmpty());
    EXPECT_EQ(before.fills[0], QColor(Qt::white));
}

// --- auto-refresh -----------------------------------------------------------------------------

// Counts the reads over 2.2 s with the box checked, then over 1.2 s after unchecking it.
struct RefreshCase {
    const char* name;
    bool leaveToolPage; // the timer must not care which page is shown
};
void PrintTo(const RefreshCase& c, std::ostream* os) {
    *os << c.name;
}

class AutoRefresh : public RunDataRead, public ::testing::WithParamInterface<RefreshCase> {};

TEST_P(AutoRefresh, ReadsOnceASecondUntilUnchecked) {
    auto& w = *hw.w;
    hw.hub.setRunData({4660, 0, 0, 0, 0, {}});
    w.chkRefresh->click();
    EXPECT_TRUE(w.tmrRefresh->isActive());
    if (GetParam().leaveToolPage)
        w.pgcMain->setCurrentWidget(w.rztbshtHome);
    PumpFor(2200);
    EXPECT_EQ(Reads(), 2u);
    EXPECT_EQ(w.edtVolt->text(), "4660");

    w.chkRefresh->click();
    EXPECT_FALSE(w.tmrRefresh->isActive());
    PumpFor(1200);
    EXPECT_EQ(Reads(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Pages, AutoRefresh,
                         ::testing::Values(RefreshCase{"OnToolPage", false},
                                           RefreshCase{"OnHomePage", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Unchecking from code (as the update does) stops the timer like a click.
TEST_F(RunDataRead, UncheckingFromCodeStopsTheTimer) {
    auto& w = *hw.w;
    w.chkRefresh->setChecked(true);
    EXPECT_TRUE(w.tmrRefresh->isActive());
    w.chkRefresh->setChecked(false);
    EXPECT_FALSE(w.tmrRefresh->isActive());
    PumpFor(1100);
    EXPECT_EQ(Reads(), 0u);
}

// The box is unchecked while a timer-driven read waits for its reply: that read still shows
// its values, and no further read follows.
TEST_F(RunDataRead, UncheckDuringAWaitingReadLetsItFinish) {
    auto& w = *hw.w;
    hw.hub.setReplyLatency(emuhub::Ms(60));
    hw.hub.setRunData({321, 654, 1, 2, 0xF0, {3, 4, 5}});

    // Polls from inside the read's wait: once the request has reached the hub and its reply is
    // not out yet, click the box off.
    bool uncheckedWhileWaiting = false;
    QTimer watcher;
    watcher.setInterval(5);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        const auto t = hw.hub.trace();
        if (t.countReceived(CMD_GET_RUNDATA) == 1 && t.countSent(CMD_GET_RUNDATA) == 0) {
            watcher.stop();
            uncheckedWhileWaiting = w.edtVolt->text().isEmpty();
            w.chkRefresh->click();
        }
    });
    watcher.start();
    w.chkRefresh->click();
    ASSERT_TRUE(PumpUntil([&] { return !w.chkRefresh->isChecked(); }, 2000));
    EXPECT_TRUE(uncheckedWhileWaiting);
    EXPECT_FALSE(w.tmrRefresh->isActive());
    EXPECT_EQ(w.edtVolt->text(), "321");
    EXPECT_EQ(w.edtCyc3->text(), "5");
    PumpFor(1300);
    EXPECT_EQ(Reads(), 1u);
}

} // namespace
