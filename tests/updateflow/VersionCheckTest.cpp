#include "FlowWindow.h"

#include <QPushButton>

#include <ostream>

using namespace flow;
using namespace hublink;
namespace ut = hidiap::updatetexts;

namespace {

struct VersionCase {
    emuhub::Version hubVersion;
    const char* deviceLabel;
    bool updateOffered;
    const char* statusText;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << c.statusText;
}

class VersionTable : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionTable, LabelsVerdictAndStatus) {
    const VersionCase& c = GetParam();
    FlowWindow fw;
    fw.ShowStatusStrip();
    fw.hub.setVersion(c.hubVersion);
    fw.bus.clearTrace();

    fw.w->btnConnect->click();

    EXPECT_EQ(fw.w->lblDeviceVersion->text(), T(c.deviceLabel));
    EXPECT_EQ(fw.w->lblUpdateAvail->text(),
              T(c.updateOffered ? ut::UPDATE_AVAILABLE : ut::NO_UPDATE));
    EXPECT_EQ(fw.w->lblThisVersion->isHidden(), !c.updateOffered);
    if (c.updateOffered) {
        EXPECT_EQ(fw.w->lblThisVersion->text(), T("可更新至版本：1.1.15.0906"));
    }
    EXPECT_EQ(fw.Status(), T(c.statusText));
    EXPECT_TRUE(fw.LampIs(0));
    EXPECT_TRUE(fw.LogLines().isEmpty());
    EXPECT_EQ(fw.bus.trace().receivedCommands(),
              (std::vector<std::uint8_t>{CMD_GET_VERSION, CMD_GET_VERSION}));
}

INSTANTIATE_TEST_SUITE_P(
    HubVersions, VersionTable,
    ::testing::Values(
        VersionCase{{0x11, 0x15, 0x09, 0x06}, "版本: 1.1.15.0906", false, "APP版本: 11150906"},
        VersionCase{{0x11, 0x14, 0x12, 0x25}, "版本: 1.1.14.1225", true, "APP版本: 11141225"},
        VersionCase{{0x0A, 0x0B, 0x0C, 0x0D}, "版本: 0.A.0B.0C0D", true, "APP版本: 0A0B0C0D"},
        VersionCase{{0xFF, 0x00, 0x00, 0x00}, "版本: F.F.00.0000", false, "APP版本: FF000000"}));

// A later check that finds no update hides the offer again, one that finds one shows it again.
TEST(VersionCheck, OfferFollowsEachCheck) {
    FlowWindow fw;
    fw.hub.setVersion({0x11, 0x14, 0x12, 0x25});
    fw.w->btnConnect->click();
    ASSERT_FALSE(fw.w->lblThisVersion->isHidden());
    fw.hub.setVersion({0x11, 0x15, 0x09, 0x06});
    fw.w->btnConnect->click();
    EXPECT_TRUE(fw.w->lblThisVersion->isHidden());
    fw.hub.setVersion({0x11, 0x14, 0x12, 0x25});
    fw.w->btnConnect->click();
    EXPECT_FALSE(fw.w->lblThisVersion->isHidden());
}

TEST(VersionCheck, RequestsGoOutAsWritten) {
    FlowWindow fw;
    fw.bus.clearTrace();
    fw.w->btnConnect->click();
    const auto frames = fw.bus.trace().receivedFrames(CMD_GET_VERSION);
    ASSERT_EQ(frames.size(), 2u);
    Bytes first(65, 0), second(65, 0);
    const Bytes a{0x00, 0x55, 0x05, 0x00, 0x01, 0xA5};
    const Bytes b{0x00, 0x55, 0x06, 0x00, 0x01, 0x00, 0xC8};
    std::copy(a.begin(), a.end(), first.begin());
    std::copy(b.begin(), b.end(), second.begin());
    EXPECT_EQ(frames[0].bytes, first);
    EXPECT_EQ(frames[1].bytes, second);
}

TEST(VersionCheck, NoHubLogsAndTurnsTheLampRed) {
    FlowWindow fw(false);
    const QString device = fw.w->lblDeviceVersion->text();
    fw.w->btnConnect->click();
    EXPECT_EQ(fw.LogLines(), QStringList{T(ut::NO_HUB_LOG)});
    EXPECT_TRUE(fw.LampIs(1));
    EXPECT_EQ(fw.w->lblDeviceVersion->text(), device);
    EXPECT_TRUE(fw.w->lblUpdateAvail->text().isEmpty());
    EXPECT_TRUE(fw.bus.trace().receivedCommands().empty());
}

// The second request unanswered or refused: the labels keep the last good check, nothing is
// logged, and the lamp is green all the same.
struct FailureCase {
    const char* name;
    std::function<void(emuhub::EmulatedHub&)> fault;
};
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class VersionFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(VersionFailure, LabelsUnchangedLampGreen) {
    FlowWindow fw;
    fw.ShowStatusStrip();
    fw.hub.setVersion({0x11, 0x14, 0x12, 0x25});
    fw.w->btnConnect->click();
    ASSERT_EQ(fw.w->lblDeviceVersion->text(), T("版本: 1.1.14.1225"));
    fw.w->lblMsg->clear();
    fw.w->ShowLamp(1); // so that the green lamp below is this check's doing

    fw.hub.setVersion({0x11, 0x15, 0x09, 0x06});
    GetParam().fault(fw.hub);
    fw.w->btnConnect->click();

    EXPECT_EQ(fw.w->lblDeviceVersion->text(), T("版本: 1.1.14.1225"));
    EXPECT_EQ(fw.w->lblUpdateAvail->text(), T(ut::UPDATE_AVAILABLE));
    EXPECT_FALSE(fw.w->lblThisVersion->isHidden());
    EXPECT_TRUE(fw.Status().isEmpty());
    EXPECT_TRUE(fw.LogLines().isEmpty());
    EXPECT_TRUE(fw.LampIs(0));
}

INSTANTIATE_TEST_SUITE_P(
    SecondRequest, VersionFailure,
    ::testing::Values(FailureCase{"silent", [](emuhub::EmulatedHub& h) { h.setSilent(true); }},
                      FailureCase{
                          "status1",
                          [](emuhub::EmulatedHub& h) { h.addStatusFault(CMD_GET_VERSION, 2, 1); }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
