// The module bar of the real main window: real clicks on its buttons, module commands and
// the service key.
#include "HubWindow.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {

// Index of the module button with that id, or -1.
int ModuleIndex(const TfrmMain& w, int id) {
    for (int i = 0; i < w.FControlCount; ++i)
        if (w.FControls[static_cast<std::size_t>(i)].Kind == 2 &&
            w.FControls[static_cast<std::size_t>(i)].Id == id)
            return i;
    return -1;
}

std::vector<int> SelectedModules(const TfrmMain& w) {
    std::vector<int> ids;
    for (const auto& c : w.FControls)
        if (c.Kind == 2 && c.Selected)
            ids.push_back(c.Id);
    return ids;
}

void ClickModule(TfrmMain& w, int id) {
    const auto& c = w.FControls[static_cast<std::size_t>(ModuleIndex(w, id))];
    QTest::mouseClick(&w, Qt::LeftButton, Qt::NoModifier,
                      QPoint(c.Left + c.Width / 2, c.Top + c.Height / 2));
}

void Command(TfrmMain& w, int id, int index) {
    QCoreApplication::postEvent(&w, new TSkinMessage(WM_SKIN_COMMAND, id, index));
    PumpFor(20);
}

} // namespace

TEST(ModuleBar, StartsOnHomeWithTwoModulesAndNoTabs) {
    HubWindow hw(false);
    TfrmMain& w = *hw.w;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.pgcMain->currentWidget(), w.rztbshtHome);
    EXPECT_EQ(SelectedModules(w), std::vector<int>{100});
    EXPECT_FALSE(w.pgcMain->tabBar()->isVisible());
    const int home = ModuleIndex(w, 100), update = ModuleIndex(w, 101);
    ASSERT_GE(home, 0);
    ASSERT_GE(update, 0);
    EXPECT_EQ(w.FControls[static_cast<std::size_t>(home)].Left, 7);
    EXPECT_EQ(w.FControls[static_cast<std::size_t>(update)].Left, 84);
    EXPECT_TRUE(w.FControls[static_cast<std::size_t>(home)].HasImage);
    EXPECT_TRUE(w.FControls[static_cast<std::size_t>(update)].HasImage);
    EXPECT_TRUE(w.FHasBkImage);
}

TEST(ModuleBar, ClicksSwitchBetweenHomeAndUpdate) {
    HubWindow hw(false);
    TfrmMain& w = *hw.w;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ClickModule(w, 101);
    ASSERT_TRUE(PumpUntil([&] { return w.pgcMain->currentWidget() == w.rztbshtUpdate; }));
    EXPECT_EQ(SelectedModules(w), std::vector<int>{101});
    ClickModule(w, 100);
    ASSERT_TRUE(PumpUntil([&] { return w.pgcMain->currentWidget() == w.rztbshtHome; }));
    EXPECT_EQ(SelectedModules(w), std::vector<int>{100});
}

TEST(ModuleBar, CommandsWithoutAButton) {
    HubWindow hw(false);
    TfrmMain& w = *hw.w;
    struct Case {
        int id;
        QWidget* page; // expected current page afterwards
        std::vector<int> selected;
    };
    // 102 selects a module that does not exist: nothing marked, page kept.
    Command(w, 101, ModuleIndex(w, 101));
    const Case cases[] = {
        {102, w.rztbshtUpdate, {}},  {101, w.rztbshtUpdate, {101}},
        {103, w.rztbshtTool, {}},    {104, w.rztbshtTool, {}},
        {100, w.rztbshtHome, {100}}, {-5, w.rztbshtHome, {100}}, // the app button
        {999, w.rztbshtHome, {100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        Command(w, c.id, -1);
        EXPECT_EQ(w.pgcMain->currentWidget(), c.page);
        EXPECT_EQ(SelectedModules(w), c.selected);
    }
}

TEST(ModuleBar, ServiceKeyReachesTheToolPage) {
    HubWindow hw(false);
    TfrmMain& w = *hw.w;
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F12, Qt::ControlModifier);
    PumpFor(20);
    EXPECT_EQ(w.pgcMain->currentWidget(), w.rztbshtHome);
    QTest::keyClick(&w, Qt::Key_F12, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(PumpUntil([&] { return w.pgcMain->currentWidget() == w.rztbshtTool; }));
    EXPECT_TRUE(SelectedModules(w).empty());
}

TEST(ModuleBar, ToolPageShowAndHideRunTheirHandlers) {
    HubWindow hw(false);
    TfrmMain& w = *hw.w;
    w.chkAutoPRG->setChecked(true);
    Command(w, 103, -1);
    EXPECT_FALSE(w.pnl2->isHidden());
    Command(w, 101, ModuleIndex(w, 101));
    EXPECT_TRUE(w.pnl2->isHidden());
}

TEST(Accelerators, AltCChecksTheVersionOnTheUpdatePage) {
    HubWindow hw;
    TfrmMain& w = *hw.w;
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    Command(w, 101, ModuleIndex(w, 101));
    hw.bus.clearTrace();
    QTest::keyClick(&w, Qt::Key_C, Qt::AltModifier);
    ASSERT_TRUE(PumpUntil([&] { return !w.lblUpdateAvail->text().isEmpty(); }));
    EXPECT_EQ(w.lblDeviceVersion->text(), QStringLiteral("版本: 1.1.14.1225"));
    EXPECT_EQ(w.lblUpdateAvail->text(), QStringLiteral("有可用更新."));
    EXPECT_EQ(w.lblThisVersion->text(), QStringLiteral("可更新至版本：1.1.15.0906"));
    EXPECT_EQ(hw.bus.trace().countReceived(hublink::CMD_GET_VERSION), 2u);
}
