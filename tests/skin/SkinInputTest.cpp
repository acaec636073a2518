#include "SkinTestSupport.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using Message = SkinMessageSpy::Message;

// Centres of the elements once laid out in a 859 x 587 window.
const QPoint AppButton(773, 11);
const QPoint MinimizeButton(803, 11);
const QPoint CloseButton(837, 11);
const QPoint HomeModule(43, 82);
const QPoint UpdateModule(120, 82);
const QPoint BareCaption(400, 25);

class SkinInput : public ::testing::Test {
protected:
    void SetUp() override {
        form.AddModule(100, "首页", "Module_Home_png", "Skin");
        form.AddModule(101, "升级", "Module_protec_png", "Skin");
        form.SelectModule(100);
        form.resize(859, 587);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        DeliverPosted();
        ASSERT_EQ(form.FControls[1].Left, 788);
    }
    void Click(QPoint at) {
        QTest::mouseMove(&form, at);
        QTest::mousePress(&form, Qt::LeftButton, {}, at);
        QTest::mouseRelease(&form, Qt::LeftButton, {}, at);
        DeliverPosted();
    }
    std::vector<Message> Clicks() const { return spy.OfType(WM_SKIN_CLICK); }

    TestSkinForm form;
    SkinMessageSpy spy{&form};
};

TEST_F(SkinInput, MinimiseClickPostsClickThenSystemCommand) {
    QTest::mousePress(&form, Qt::LeftButton, {}, MinimizeButton);
    EXPECT_EQ(form.FPressedIndex, 1);
    EXPECT_TRUE(form.FControls[1].Pressed);
    QTest::mouseRelease(&form, Qt::LeftButton, {}, MinimizeButton);
    EXPECT_FALSE(form.FControls[1].Pressed);
    DeliverPosted();
    EXPECT_EQ(spy.Messages,
              (std::vector<Message>{{WM_SKIN_CLICK, -1, 1}, {WM_SKIN_SYSCOMMAND, SC_MINIMIZE, 0}}));
    EXPECT_TRUE(form.isMinimized());
    EXPECT_TRUE(form.Commands.empty());
}

TEST_F(SkinInput, TheElementUnderTheReleaseIsTheOneClicked) {
    QTest::mousePress(&form, Qt::LeftButton, {}, CloseButton);
    EXPECT_EQ(form.FPressedIndex, 2);
    QTest::mouseMove(&form, MinimizeButton);
    EXPECT_EQ(form.FPressedIndex, 2) << "moving does not move the press";
    QTest::mouseRelease(&form, Qt::LeftButton, {}, MinimizeButton);
    DeliverPosted();
    EXPECT_EQ(Clicks(), (std::vector<Message>{{WM_SKIN_CLICK, -1, 1}}));
    EXPECT_TRUE(form.isMinimized());
    EXPECT_TRUE(form.isVisible()) << "not closed";
}

TEST_F(SkinInput, ReleaseOverNoElementClicksNothingAndClearsThePress) {
    QTest::mousePress(&form, Qt::LeftButton, {}, AppButton);
    ASSERT_TRUE(form.FControls[0].Pressed);
    const QRgb pressedLook = form.frontBuffer().pixel(760, 3);
    QTest::mouseMove(&form, QPoint(600, 300));
    QTest::mouseRelease(&form, Qt::LeftButton, {}, QPoint(600, 300));
    DeliverPosted();
    EXPECT_TRUE(spy.Messages.empty());
    EXPECT_EQ(form.FPressedIndex, -1);
    EXPECT_FALSE(form.FControls[0].Pressed);
    EXPECT_NE(form.frontBuffer().pixel(760, 3), pressedLook);
    EXPECT_FALSE(form.isMinimized());
}

TEST_F(SkinInput, AppButtonAndModulesReachTheDerivedWindow) {
    Click(AppButton);
    Click(UpdateModule);
    Click(HomeModule);
    EXPECT_EQ(spy.OfType(WM_SKIN_COMMAND),
              (std::vector<Message>{
                  {WM_SKIN_COMMAND, -5, 0}, {WM_SKIN_COMMAND, 101, 4}, {WM_SKIN_COMMAND, 100, 3}}));
    EXPECT_EQ(form.Commands, (std::vector<TestSkinForm::Call>{{-5, 0}, {101, 4}, {100, 3}}));
    EXPECT_TRUE(spy.OfType(WM_SKIN_SYSCOMMAND).empty());
}

TEST_F(SkinInput, ADoubleClickIsTwoClicks) {
    // Through the window, so that Qt itself turns the second press into a double click.
    QTest::mouseMove(&form, UpdateModule);
    QTest::mouseDClick(form.windowHandle(), Qt::LeftButton, {}, UpdateModule);
    DeliverPosted();
    EXPECT_EQ(Clicks(), (std::vector<Message>{{WM_SKIN_CLICK, 101, 4}, {WM_SKIN_CLICK, 101, 4}}));
    EXPECT_EQ(form.Commands.size(), 2u);
    EXPECT_EQ(form.FPressedIndex, -1);
}

TEST_F(SkinInput, HoverFollowsThePointerAndLeavesForChildControls) {
    QLabel child(&form);
    child.setGeometry(27, 152, 786, 359);
    child.show();
    DeliverPosted();

    QTest::mouseMove(&form, CloseButton);
    EXPECT_EQ(form.FHoverIndex, 2);
    QTest::mouseMove(&form, UpdateModule);
    EXPECT_EQ(form.FHoverIndex, 4);
    EXPECT_FALSE(form.FControls[2].Hover);
    QTest::mouseMove(&form, BareCaption);
    EXPECT_EQ(form.FHoverIndex, -1);

    QTest::mouseMove(&form, HomeModule);
    ASSERT_EQ(form.FHoverIndex, 3);
    QTest::mouseMove(&form, QPoint(400, 300)); // onto the child
    EXPECT_EQ(form.FHoverIndex, -1);
    for (const TSkinControl& c : form.FControls)
        EXPECT_FALSE(c.Hover);
}

TEST_F(SkinInput, LeavingTheWindowClearsPressThenHover) {
    QTest::mouseMove(&form, CloseButton);
    QTest::mousePress(&form, Qt::LeftButton, {}, CloseButton);
    ASSERT_TRUE(form.FControls[2].Pressed && form.FControls[2].Hover);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&form, &leave);
    EXPECT_EQ(form.FPressedIndex, -1);
    EXPECT_EQ(form.FHoverIndex, -1);
    EXPECT_FALSE(form.FControls[2].Pressed || form.FControls[2].Hover);
}

TEST_F(SkinInput, APressOnBareSurfaceMovesTheWindowAndClicksNothing) {
    const QPoint start = form.pos();
    QTest::mousePress(&form, Qt::LeftButton, {}, BareCaption);
    EXPECT_EQ(form.FPressedIndex, -1);
    QTest::mouseMove(&form, BareCaption + QPoint(50, 30));
    QTest::mouseRelease(&form, Qt::LeftButton, {}, BareCaption);
    DeliverPosted();
    EXPECT_EQ(form.pos(), start + QPoint(50, 30));
    EXPECT_TRUE(spy.Messages.empty());
}

TEST_F(SkinInput, ClickRoutingByKindFromTheTableAndIdFromTheMessage) {
    struct Case {
        qint32 id, index;
        std::vector<Message> posted; // after the click itself
    };
    const Case cases[] = {
        {-4, 0, {{WM_SKIN_SYSCOMMAND, SC_CLOSE, 0}}},
        {-2, 1, {{WM_SKIN_SYSCOMMAND, SC_MAXIMIZE, 0}}},
        {-3, 2, {{WM_SKIN_SYSCOMMAND, SC_RESTORE, 0}}},
        {-5, 2, {{WM_SKIN_COMMAND, -5, 2}}},
        {-7, 0, {}},                         // no such caption command
        {-4, 3, {{WM_SKIN_COMMAND, -4, 3}}}, // a module: whatever its id
        {100, 5, {}},                        // outside the table
        {100, -1, {}},
    };
    for (const Case& c : cases) {
        spy.Messages.clear();
        QCoreApplication::postEvent(&form, new TSkinMessage(WM_SKIN_CLICK, c.id, c.index));
        DeliverPosted();
        std::vector<Message> after;
        for (const Message& m : spy.Messages)
            if (m.Type != WM_SKIN_CLICK)
                after.push_back(m);
        EXPECT_EQ(after, c.posted) << "id " << c.id << " index " << c.index;
        // Undo what the command did to the window before the next case.
        form.showNormal();
        DeliverPosted();
    }
}

TEST_F(SkinInput, MaximiseActsAsRestoreWhileMaximised) {
    QCoreApplication::postEvent(&form, new TSkinMessage(WM_SKIN_CLICK, -2, 0));
    DeliverPosted();
    ASSERT_TRUE(form.isMaximized());
    EXPECT_EQ(form.geometry(), form.screen()->availableGeometry());
    form.repaint();
    EXPECT_TRUE(form.IsZoomedBuild());
    EXPECT_EQ(form.mask(), QRegion(form.rect()));
    spy.Messages.clear();
    QCoreApplication::postEvent(&form, new TSkinMessage(WM_SKIN_CLICK, -2, 0));
    DeliverPosted();
    EXPECT_EQ(spy.OfType(WM_SKIN_SYSCOMMAND),
              (std::vector<Message>{{WM_SKIN_SYSCOMMAND, SC_RESTORE, 0}}));
    EXPECT_FALSE(form.isMaximized());
}

TEST_F(SkinInput, CloseButtonClosesTheWindow) {
    Click(CloseButton);
    EXPECT_EQ(Clicks(), (std::vector<Message>{{WM_SKIN_CLICK, -4, 2}}));
    EXPECT_FALSE(form.isVisible());
}

} // namespace
