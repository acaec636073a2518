// The main window after start-up, its texts, the status strip and the Tool page's show rules.
#include "HubWindow.h"
#include "Texts.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

namespace {

bool LampIs(TfrmMain& w, int image) {
    return w.imgIndicator->pixmap().toImage() == w.ilLED[static_cast<std::size_t>(image)].toImage();
}

} // namespace

TEST(StartUp, StateRightAfterStartWithAndWithoutAHub) {
    for (bool plugged : {false, true}) {
        SCOPED_TRACE(plugged ? "hub plugged" : "no hub");
        HubWindow hw(plugged);
        TfrmMain& w = *hw.w;
        EXPECT_EQ(w.size(), QSize(859, 587));
        EXPECT_EQ(w.pgcMain->currentWidget(), w.rztbshtHome);
        EXPECT_EQ(w.lbl10->text(), QStringLiteral("版本: 1.1.15.0906"));
        EXPECT_TRUE(w.lblUpdateAvail->text().isEmpty());
        EXPECT_TRUE(w.lblThisVersion->text().isEmpty());
        EXPECT_EQ(w.lblDeviceVersion->text(), QString(17, QLatin1Char(' ')));
        EXPECT_TRUE(w.pnl2->isHidden());
        EXPECT_TRUE(LampIs(w, plugged ? 0 : 1));
        EXPECT_FALSE(UpdateInProgress || AutoUpdatePending || LedCalibrationRead);
        EXPECT_EQ(AutoTickCount, 0);
        EXPECT_TRUE(w.tmrAuto->isActive());
        EXPECT_FALSE(w.tmrRefresh->isActive());
        EXPECT_FALSE(w.chkAutoPRG->isChecked());
        ASSERT_NE(FirmwareLines, nullptr);
        EXPECT_EQ(FirmwareLines->size(), 626);
        // The page tabs are hidden: the module bar switches the pages.
        EXPECT_FALSE(w.pgcMain->tabBar()->isVisible());
    }
}

TEST(StartUp, RunTimeTextsAreExact) {
    HubWindow hw(false);
    TfrmMain& w = *hw.w;
    const QString help =
        QStringLiteral("支持 Aviren1 电池管家\r\n\r\n升级指南:\r\n"
                       "步骤1: 使用Micro USB线将电池管家连上电脑，不需要连接充电器。\r\n"
                       "            此时红灯闪烁。\r\n"
                       "步骤2: 在升级页面中点击[检查版本]按钮，将显示是否有新版本.\r\n"
                       "步骤3: 点击[升级]按钮开始升级.\r\n\r\n注意:\r\n"
                       "1. 只支持一个电池管家升级，请不要同时连接两个设备;\r\n"
                       "2. 升级时请勿断开USB线;\r\n"
                       "3. 如果升级失败，请拔掉USB重试.");
    EXPECT_EQ(texts::HelpText(), help);
    EXPECT_EQ(texts::HelpText().split(QStringLiteral("\r\n")).size(), 12);
    EXPECT_EQ(w.lblHelp->text(), texts::ToWidgetText(help));
    const QString notes = QStringLiteral("升级说明:\r\n") + QString(61, QLatin1Char('-')) +
                          QStringLiteral("\r\nV1.1.15.0906\r\n"
                                         "* 解决长时间充电（充电时间超过1周）可能出现\r\n"
                                         "   电池电量不满的问题。");
    EXPECT_EQ(texts::ReleaseNotesText(), notes);
    EXPECT_EQ(w.mmoReleaseNotes->toPlainText(), texts::ToWidgetText(notes));
    EXPECT_TRUE(w.mmoReleaseNotes->isReadOnly());
    EXPECT_EQ(w.lblHead->text(), QStringLiteral("Orvan电池管家"));
    EXPECT_EQ(w.btnConnect->text(), QStringLiteral("检查版本(&C)"));
    EXPECT_EQ(w.btnUpdate->text(), QStringLiteral("升级(&U)"));
    EXPECT_EQ(w.grpFirmware->title(), QStringLiteral("设备信息"));
    EXPECT_EQ(w.chkAutoPRG->text(), QStringLiteral("新设备插入时自动升级"));
    EXPECT_EQ(w.lblLog->text(), QStringLiteral("记录:"));
    EXPECT_EQ(w.lbl23->text(), QStringLiteral("自动升级："));
    // The form's face is the Song face after start-up; the heading follows it.
    EXPECT_EQ(w.font().family(), SongFontFamily());
    EXPECT_EQ(w.lblHead->font().family(), SongFontFamily());
    EXPECT_EQ(w.lblHead->font().pixelSize(), 13);
}

TEST(StatusStrip, ShowStatusWhileHiddenIsLostForGood) {
    HubWindow hw(false);
    TfrmMain& w = *hw.w;
    w.ShowStatus(QStringLiteral("升级中..."));
    EXPECT_TRUE(w.lblMsg->text().isEmpty());
    w.chkAutoPRG->setChecked(true);
    w.pgcMain->setCurrentWidget(w.rztbshtTool);
    ASSERT_FALSE(w.pnl2->isHidden());
    EXPECT_TRUE(w.lblMsg->text().isEmpty());
    w.ShowStatus(QStringLiteral("重启..."));
    EXPECT_EQ(w.lblMsg->text(), QStringLiteral("重启..."));
}

TEST(StatusStrip, ToolPageShowsItOnlyWhenAutoUpdateWasOnAtShowTime) {
    HubWindow hw(false);
    TfrmMain& w = *hw.w;
    w.pgcMain->setCurrentWidget(w.rztbshtTool);
    EXPECT_TRUE(w.pnl2->isHidden());
    // Checking the box later does not show it until the page is shown again.
    w.chkAutoPRG->setChecked(true);
    EXPECT_TRUE(w.pnl2->isHidden());
    w.pgcMain->setCurrentWidget(w.rztbshtUpdate);
    EXPECT_TRUE(w.pnl2->isHidden());
    w.pgcMain->setCurrentWidget(w.rztbshtTool);
    EXPECT_FALSE(w.pnl2->isHidden());
    // Leaving the Tool page hides it.
    w.pgcMain->setCurrentWidget(w.rztbshtHome);
    EXPECT_TRUE(w.pnl2->isHidden());
}
