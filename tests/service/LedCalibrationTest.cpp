#include "ToolPageFixture.h"

#include <QPushButton>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

using namespace hublink;
using emuhub::Bytes;
using emuhub::LedValues;

namespace {

class LedCalibration : public ::testing::Test {
protected:
    void SetUp() override { ShowToolPage(*hw.w); }

    std::array<int, 8> Positions() const {
        std::array<int, 8> p{};
        for (std::size_t i = 0; i < 8; ++i)
            p[i] = hw.w->rztrckbr[i]->Position();
        return p;
    }
    TRzTrackBar& Bar(int number) { return *hw.w->rztrckbr[static_cast<std::size_t>(number - 1)]; }

    HubWindow hw;
};

// Reading sets the sliders in channel order; only a slider whose stored position differs from
// the reported value (compared before clamping) sends its value, and it does so before the next
// slider is set.
TEST_F(LedCalibration, ReadSendsOnlyTheChangedSlidersInOrder) {
    auto& w = *hw.w;
    Bar(4).SetPosition(100); // so that 200 meets a slider already at the clamped value
    ASSERT_EQ(Bar(4).Position(), 100);
    hw.hub.setLiveLeds({50, 10, 50, 200, 0, 0xC8, 50, 73});
    hw.bus.clearTrace();
    LedCalibrationRead = false;

    w.btnStartAdj->click();

    EXPECT_EQ(Positions(), (std::array<int, 8>{50, 10, 50, 100, 0, 100, 50, 73}));
    EXPECT_TRUE(LedCalibrationRead);
    const auto trace = hw.hub.trace();
    EXPECT_EQ(trace.receivedCommands(),
              (std::vector<std::uint8_t>{CMD_GET_LEDS, CMD_SET_LED, CMD_SET_LED, CMD_SET_LED,
                                         CMD_SET_LED, CMD_SET_LED}));
    EXPECT_EQ(SetLedFrames(trace),
              (std::vector<std::pair<int, int>>{{2, 10}, {4, 100}, {5, 0}, {6, 100}, {8, 73}}));
    // One exchange at a time: each frame's reply is out before the next frame arrives.
    std::vector<emuhub::TraceKind> kinds;
    for (const auto& e : trace.entries())
        if (e.kind == emuhub::TraceKind::Received || e.kind == emuhub::TraceKind::Sent)
            kinds.push_back(e.kind);
    ASSERT_EQ(kinds.size(), 12u);
    for (std::size_t i = 0; i < kinds.size(); ++i)
        EXPECT_EQ(kinds[i], i % 2 ? emuhub::TraceKind::Sent : emuhub::TraceKind::Received) << i;
    EXPECT_EQ(hw.hub.liveLeds(), (LedValues{50, 10, 50, 100, 0, 100, 50, 73}));

    // The hub now holds what the sliders show: a second read sends no value back.
    hw.bus.clearTrace();
    LedCalibrationRead = false;
    w.btnStartAdj->click();
    EXPECT_EQ(hw.hub.trace().receivedCommands(), (std::vector<std::uint8_t>{CMD_GET_LEDS}));
    EXPECT_EQ(Positions(), (std::array<int, 8>{50, 10, 50, 100, 0, 100, 50, 73}));
    EXPECT_TRUE(LedCalibrationRead);
}

// --- a read that fails leaves everything as it was --------------------------------------------

struct FailedReadCase {
    const char* name;
    std::function<void(emuhub::EmulatedHub&)> fault;
    std::size_t attempts;
};
void PrintTo(const FailedReadCase& c, std::ostream* os) {
    *os << c.name;
}

const FailedReadCase kFailedReads[] = {
    {"Status1",
     [](emuhub::EmulatedHub& h) {
         h.addStatusFault(CMD_GET_LEDS, 1, emuhub::EMU_STATUS_REFUSED,
                          Bytes{1, 2, 3, 4, 5, 6, 7, 8});
     },
     1},
    {"StatusFF",
     [](emuhub::EmulatedHub& h) {
         h.addStatusFault(CMD_GET_LEDS, 1, 0xFF, Bytes{1, 2, 3, 4, 5, 6, 7, 8});
     },
     1},
    {"NoReply", [](emuhub::EmulatedHub& h) { h.setSilentTo(CMD_GET_LEDS); }, 3},
};

class LedFailedRead : public LedCalibration,
                      public ::testing::WithParamInterface<FailedReadCase> {};

TEST_P(LedFailedRead, ChangesNoSliderAndLeavesTheFlagUnset) {
    hw.hub.setLiveLeds({1, 2, 3, 4, 5, 6, 7, 8});
    GetParam().fault(hw.hub);
    hw.bus.clearTrace();
    const auto before = Positions();

    hw.w->btnStartAdj->click();

    EXPECT_EQ(Positions(), before);
    EXPECT_FALSE(LedCalibrationRead);
    const auto trace = hw.hub.trace();
    EXPECT_EQ(trace.countReceived(CMD_GET_LEDS), GetParam().attempts);
    EXPECT_EQ(trace.countReceived(CMD_SET_LED), 0u);
}

INSTANTIATE_TEST_SUITE_P(Faults, LedFailedRead, ::testing::ValuesIn(kFailedReads),
                         [](const auto& info) { return std::string(info.param.name); });

// --- frames on the wire -----------------------------------------------------------------------

struct WireCase {
    const char* name;
    std::function<void(TfrmMain&)> act;
    std::uint8_t command;
    Bytes head; // report ID first
};
void PrintTo(const WireCase& c, std::ostream* os) {
    *os << c.name;
}

const WireCase kWire[] = {
    {"MoveLed2Green",
     [](TfrmMain& w) { w.rztrckbr[5]->SetPosition(73); },
     CMD_SET_LED,
     {0x00, 0x55, 0x07, 0x00, 0xF1, 0x06, 0x49, 0x66}},
    {"ReadAndStart",
     [](TfrmMain& w) { w.btnStartAdj->click(); },
     CMD_GET_LEDS,
     {0x00, 0x55, 0x05, 0x00, 0xF2, 0xA5}},
    {"WriteAndEnd",
     [](TfrmMain& w) { w.btnEndAdj->click(); },
     CMD_STORE_LEDS,
     {0x00, 0x55, 0x05, 0x00, 0xF3, 0xA5}},
};

class LedWire : public LedCalibration, public ::testing::WithParamInterface<WireCase> {};

TEST_P(LedWire, SendsTheExactFrame) {
    const WireCase& c = GetParam();
    hw.hub.setLiveLeds({50, 50, 50, 50, 50, 50, 50, 50}); // a read then sends nothing more
    hw.bus.clearTrace();
    c.act(*hw.w);
    const auto trace = hw.hub.trace();
    ASSERT_EQ(trace.receivedCommands(), (std::vector<std::uint8_t>{c.command}));
    const auto frame = trace.receivedFrames(c.command).at(0);
    EXPECT_EQ(frame.bytes.size(), OUTPUT_REPORT_SIZE);
    EXPECT_EQ(Head(frame, c.head.size()), c.head);
}

INSTANTIATE_TEST_SUITE_P(Commands, LedWire, ::testing::ValuesIn(kWire),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LedCalibration, WriteAndEndStoresOnTheHubAndKeepsTheFlag) {
    Bar(3).SetPosition(12);
    ASSERT_EQ(hw.hub.liveLeds()[2], 12);
    ASSERT_NE(hw.hub.storedLeds()[2], 12);
    LedCalibrationRead = false;
    hw.w->btnEndAdj->click();
    EXPECT_EQ(hw.hub.storedLeds(), hw.hub.liveLeds());
    EXPECT_FALSE(LedCalibrationRead);
}

// Called directly, as the update replays the values: the slider's tag and current position.
TEST_F(LedCalibration, DirectCallSendsTagAndCurrentPosition) {
    hw.bus.clearTrace();
    hw.w->rztrckbr1Change(&Bar(7));
    EXPECT_EQ(SetLedFrames(hw.hub.trace()), (std::vector<std::pair<int, int>>{{7, 50}}));
}

TEST(LedNoHub, SlidersMoveAndNothingIsSent) {
    HubWindow hw(false);
    auto& w = *hw.w;
    ShowToolPage(w);
    ASSERT_EQ(w.FHub, nullptr);
    w.rztrckbr[0]->SetPosition(80);
    w.rztrckbr[1]->setFocus();
    QTest::keyClick(w.rztrckbr[1], Qt::Key_Right);
    w.btnStartAdj->click();
    w.btnEndAdj->click();
    EXPECT_EQ(w.rztrckbr[0]->Position(), 80);
    EXPECT_EQ(w.rztrckbr[1]->Position(), 51);
    EXPECT_FALSE(LedCalibrationRead);
    EXPECT_EQ(hw.bus.trace().count(emuhub::TraceKind::Received), 0u);
}

// --- moves by the user, nested in each other's waits ------------------------------------------

QPoint HandleCentre(QSlider& s) {
    QStyleOptionSlider opt;
    opt.initFrom(&s);
    opt.subControls = QStyle::SC_All;
    opt.orientation = s.orientation();
    opt.minimum = s.minimum();
    opt.maximum = s.maximum();
    opt.sliderPosition = s.sliderPosition();
    opt.sliderValue = s.value();
    opt.singleStep = s.singleStep();
    opt.pageStep = s.pageStep();
    opt.tickPosition = s.tickPosition();
    opt.tickInterval = s.tickInterval();
    opt.upsideDown = s.invertedAppearance();
    return s.style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, &s).center();
}

struct MoveCase {
    const char* name;
    int steps;
    // Begins the gesture (may do nothing), performs step k, ends it.
    std::function<void(QSlider&)> begin;
    std::function<void(QSlider&, int)> step;
    std::function<void(QSlider&)> end;
};
void PrintTo(const MoveCase& c, std::ostream* os) {
    *os << c.name;
}

const MoveCase kMoves[] = {
    {"MouseDrag", 6, [](QSlider& s) { QTest::mousePress(&s, Qt::LeftButton, {}, HandleCentre(s)); },
     // Right, then back left: each move lands on a new position.
     [](QSlider& s, int k) {
         static QPoint start;
         if (k == 0)
             start = HandleCentre(s);
         const int dx[] = {12, 24, 36, 48, 30, 15};
         QTest::mouseMove(&s, start + QPoint(dx[k], 0));
     },
     [](QSlider& s) { QTest::mouseRelease(&s, Qt::LeftButton, {}, HandleCentre(s)); }},
    {"Keys", 6, [](QSlider& s) { s.setFocus(); },
     [](QSlider& s, int k) { QTest::keyClick(&s, k < 4 ? Qt::Key_Right : Qt::Key_Left); },
     [](QSlider&) {}},
};

class LedUserMove : public LedCalibration, public ::testing::WithParamInterface<MoveCase> {};

// With a reply latency longer than the pause between moves, every later move arrives inside
// an earlier move's reply wait. Each position change must still go out as its own frame, in
// the order of the moves.
TEST_P(LedUserMove, EveryPositionChangeIsSentInOrder) {
    const MoveCase& c = GetParam();
    TRzTrackBar& bar = Bar(1);
    hw.hub.setReplyLatency(emuhub::Ms(50));
    hw.w->activateWindow();
    hw.bus.clearTrace();

    // The positions the slider goes through, noted before its change handler runs.
    std::vector<int> positions;
    QObject::connect(&bar, &QAbstractSlider::actionTriggered, [&](int) {
        if (bar.sliderPosition() != bar.value())
            positions.push_back(bar.sliderPosition());
    });

    c.begin(bar);
    int k = 0;
    bool done = false;
    std::function<void()> next = [&] {
        if (k == c.steps) {
            done = true;
            return;
        }
        const int mine = k++;
        QTimer::singleShot(15, &bar, next);
        c.step(bar, mine);
    };
    QTimer::singleShot(0, &bar, next);
    ASSERT_TRUE(PumpUntil([&] { return done; }, 5000));
    c.end(bar);
    // Let the last replies in.
    PumpUntil([&] { return hw.hub.trace().countSent(CMD_SET_LED) >= positions.size(); }, 2000);

    ASSERT_GE(positions.size(), static_cast<std::size_t>(c.steps));
    EXPECT_EQ(positions.back(), bar.Position());
    const auto trace = hw.hub.trace();
    std::vector<int> sent;
    for (const auto& [channel, value] : SetLedFrames(trace)) {
        EXPECT_EQ(channel, 1);
        sent.push_back(value);
    }
    EXPECT_EQ(sent, positions);
    EXPECT_EQ(hw.hub.liveLeds()[0], bar.Position());
    EXPECT_FALSE(trace.anyRuleBroken());

    // The moves did overlap: some frame reached the hub before the reply to the one before it.
    bool overlapped = false;
    std::size_t received = 0, replied = 0;
    for (const auto& e : trace.entries()) {
        if (e.kind == emuhub::TraceKind::Received)
            overlapped |= ++received > replied + 1;
        else if (e.kind == emuhub::TraceKind::Sent)
            ++replied;
    }
    EXPECT_TRUE(overlapped) << trace.dump();
}

INSTANTIATE_TEST_SUITE_P(Gestures, LedUserMove, ::testing::ValuesIn(kMoves),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
