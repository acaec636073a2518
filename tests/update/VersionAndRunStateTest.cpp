#include "RunState.h"
#include "VersionText.h"

#include <gtest/gtest.h>

#include <QString>

#include <array>
#include <cstdint>
#include <ostream>
#include <string>

using namespace hidiap;

namespace {

struct FormatCase {
    const char* text;
    const char* formatted;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class FormatVersionTable : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatVersionTable, DotsOnlyEightCharacters) {
    EXPECT_EQ(FormatVersion(QString::fromLatin1(GetParam().text)),
              QString::fromLatin1(GetParam().formatted));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatVersionTable,
    ::testing::Values(FormatCase{"11150906", "1.1.15.0906"}, FormatCase{"0A0B0C0D", "0.A.0B.0C0D"},
                      FormatCase{"abcdefgh", "a.b.cd.efgh"}, FormatCase{"1234567", "1234567"},
                      FormatCase{"123456789", "123456789"}, FormatCase{"", ""}));

TEST(FirmwareVersion, ShownDotted) {
    EXPECT_EQ(VersionHex(FIRMWARE_VERSION), "11150906");
    EXPECT_EQ(FormatVersion(VersionHex(FIRMWARE_VERSION)), "1.1.15.0906");
    EXPECT_EQ(VersionHex(0x0A0B0C0D), "0A0B0C0D"); // upper case, leading zero kept
    EXPECT_EQ(VersionHex(0), "00000000");
}

struct VerdictCase {
    std::array<std::uint8_t, 4> bytes;
    quint32 version;
    const char* text;
    bool update;
};

void PrintTo(const VerdictCase& c, std::ostream* os) {
    *os << c.text;
}

class VersionReply : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(VersionReply, ReadsBytesFiveToEight) {
    const VerdictCase& c = GetParam();
    std::array<std::uint8_t, 64> reply{};
    reply.fill(0x5A); // bytes around the version must not leak in
    reply[0] = 0x55;
    reply[4] = 0x00;
    for (std::size_t i = 0; i < 4; ++i)
        reply[5 + i] = c.bytes[i];
    EXPECT_EQ(VersionFromReply(reply.data()), c.version);
    EXPECT_EQ(VersionTextFromReply(reply.data()), QString::fromLatin1(c.text));
    EXPECT_EQ(IsUpdateAvailable(VersionFromReply(reply.data())), c.update);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VersionReply,
    ::testing::Values(VerdictCase{{0x11, 0x15, 0x09, 0x06}, 0x11150906, "11150906", false},
                      VerdictCase{{0x11, 0x14, 0x12, 0x25}, 0x11141225, "11141225", true},
                      VerdictCase{{0x0A, 0x0B, 0x0C, 0x0D}, 0x0A0B0C0D, "0A0B0C0D", true},
                      // above 0x7FFFFFFF: newer only when compared unsigned
                      VerdictCase{{0xFF, 0x00, 0x00, 0x00}, 0xFF000000, "FF000000", false},
                      VerdictCase{{0x11, 0x15, 0x09, 0x07}, 0x11150907, "11150907", false},
                      VerdictCase{{0x11, 0x15, 0x09, 0x05}, 0x11150905, "11150905", true}),
    [](const auto& info) { return std::string(info.param.text); });

struct RunStateCase {
    const char* name;
    int sendResult;
    std::uint8_t byte5;
    int state;
};

void PrintTo(const RunStateCase& c, std::ostream* os) {
    *os << "result " << c.sendResult << ", byte 5 = " << int(c.byte5);
}

class RunStateTable : public ::testing::TestWithParam<RunStateCase> {};

TEST_P(RunStateTable, MapsTheReply) {
    std::array<std::uint8_t, 64> reply{};
    reply[0] = 0x55;
    reply[3] = 0x04;
    reply[4] = static_cast<std::uint8_t>(GetParam().sendResult);
    reply[5] = GetParam().byte5;
    EXPECT_EQ(RunStateFromReply(GetParam().sendResult, reply.data()), GetParam().state);
}

INSTANTIATE_TEST_SUITE_P(Table, RunStateTable,
                         ::testing::Values(RunStateCase{"NoReply", -1, 1, RunUnknown},
                                           RunStateCase{"BootLoader", 0, 1, RunBootLoader},
                                           RunStateCase{"StatusZeroByteZero", 0, 0, RunUnknown},
                                           RunStateCase{"StatusZeroByteTwo", 0, 2, RunUnknown},
                                           RunStateCase{"StatusZeroByteFF", 0, 0xFF, RunUnknown},
                                           RunStateCase{"Application", 0xFF, 0, RunApplication},
                                           RunStateCase{"ApplicationByteOne", 0xFF, 1,
                                                        RunApplication},
                                           RunStateCase{"StatusOne", 1, 1, RunUnknown},
                                           RunStateCase{"StatusFE", 0xFE, 1, RunUnknown}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RunState, NoReplyDoesNotReadTheBuffer) {
    EXPECT_EQ(RunStateFromReply(-1, nullptr), RunUnknown);
    EXPECT_EQ(RunStateFromReply(0xFF, nullptr), RunApplication);
}

} // namespace
