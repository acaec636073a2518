#include "FlowWindow.h"

#include <QProgressBar>
#include <QPushButton>

using namespace flow;
using namespace hublink;
namespace ut = hidiap::updatetexts;

namespace {

TEST(FullImage, BuiltInImageArrivesWholeAndInOrder) {
    FlowWindow fw;
    ASSERT_EQ(FirmwareLines->size(), 626);
    fw.ShowStatusStrip();
    fw.UseImage(*FirmwareLines);
    const emuhub::LedValues ledsBefore = fw.hub.storedLeds();
    fw.bus.clearTrace();

    fw.w->btnUpdate->click();

    EXPECT_EQ(fw.LogLines(), (QStringList{T(ut::ENTER_UPDATE), T(ut::UPDATING),
                                          T(ut::RESTARTING) + T(ut::RESTART_OK), T(ut::DONE)}));
    EXPECT_EQ(fw.Status(), T(ut::DONE));
    EXPECT_EQ(fw.w->pbProgram->maximum(), 625);
    EXPECT_EQ(fw.w->pbProgram->value(), 625);
    EXPECT_EQ(fw.w->pbMsg->maximum(), 625);
    EXPECT_EQ(fw.w->pbMsg->value(), 625);

    const emuhub::Trace trace = fw.bus.trace();
    // 625 pairs, nothing for the end record, the restart right after the last pair.
    const auto commands = UpdateCommands(trace);
    ASSERT_EQ(commands.size(), 1u + 2 * 625 + 1);
    EXPECT_EQ(commands.front(), CMD_ENTER_UPDATE);
    for (std::size_t i = 0; i < 625; ++i) {
        ASSERT_EQ(commands[1 + 2 * i], CMD_DATA) << i;
        ASSERT_EQ(commands[2 + 2 * i], CMD_ADDR_DATA) << i;
    }
    EXPECT_EQ(commands.back(), CMD_RESTART);
    const auto all = trace.receivedCommands();
    const auto lastAddr = std::find(all.rbegin(), all.rend(), CMD_ADDR_DATA);
    ASSERT_NE(lastAddr, all.rend());
    EXPECT_EQ(*(lastAddr - 1), CMD_RESTART);
    EXPECT_EQ(trace.recordPairs(), RecordsOf(*FirmwareLines));
    EXPECT_FALSE(trace.anyRuleBroken());

    EXPECT_EQ(fw.hub.imagesApplied(), 1u);
    EXPECT_EQ(fw.hub.storedLeds(), ledsBefore);
    EXPECT_EQ(fw.hub.version(), (emuhub::Version{0x11, 0x15, 0x09, 0x06}));
}

} // namespace
