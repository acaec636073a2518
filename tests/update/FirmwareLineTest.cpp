#include "FirmwareImage.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

using namespace hidiap;
using hublink::TFrameRequest;

namespace {

struct SplitCase {
    const char* name;
    QByteArray text;
    QStringList lines;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.name;
}

class SplitLines : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitLines, EndsLinesAtEveryLineEnd) {
    EXPECT_EQ(SplitFirmwareLines(GetParam().text), GetParam().lines);
}

QByteArray Bytes(const char* s, qsizetype n) {
    return QByteArray(s, n);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitLines,
    ::testing::Values(SplitCase{"CrLf", "a\r\nbc\r\n", {"a", "bc"}},
                      SplitCase{"LoneCr", "a\rbc\r", {"a", "bc"}},
                      SplitCase{"LoneLf", "a\nbc\n", {"a", "bc"}},
                      SplitCase{"Mixed", "a\r\nb\rc\nd", {"a", "b", "c", "d"}},
                      SplitCase{"NoTrailingLineEnd", "a\r\nbc", {"a", "bc"}},
                      // LF CR is two line ends, not one
                      SplitCase{"LfCr", "a\n\rb", {"a", "", "b"}},
                      SplitCase{"EmptyLinesInside", "a\r\n\r\n\nb\r\n", {"a", "", "", "b"}},
                      SplitCase{"OnlyLineEnd", "\r\n", {""}},
                      SplitCase{"NulEndsText", Bytes("a\r\nb\0c\r\nd\r\n", 11), {"a", "b"}},
                      SplitCase{"NulRightAfterLineEnd", Bytes("a\r\n\0b\r\n", 7), {"a"}},
                      // a CR just before the NUL is a lone CR: the LF behind the NUL does not count
                      SplitCase{"CrBeforeNul", Bytes("a\r\0\nb", 5), {"a"}},
                      SplitCase{"LeadingNul", Bytes("\0a\r\n", 4), {}}, SplitCase{"Empty", "", {}},
                      SplitCase{"Latin1", "\xB5:\xFF\n", {QString::fromLatin1("\xB5:\xFF")}}),
    [](const auto& info) { return std::string(info.param.name); });

// A usual record: count 0x13, address 0x2340, 16 data bytes 00 11 22 .. FF, check byte, extras.
const QString kRecord = QStringLiteral(":1132340"
                                       "00112233445566778899AABBCCDDEEFF"
                                       "A5"
                                       "012345");
const std::vector<std::uint8_t> kRecordData = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                               0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};

struct RecordCase {
    const char* name;
    QString line;
    std::uint8_t count;
    std::uint8_t addrHigh;
    std::uint8_t addrLow;
    std::vector<std::uint8_t> data;
};

void PrintTo(const RecordCase& c, std::ostream* os) {
    *os << c.line.toStdString();
}

class ParsesRecord : public ::testing::TestWithParam<RecordCase> {};

TEST_P(ParsesRecord, TakesTheFields) {
    const RecordCase& c = GetParam();
    const ParseResult r = ParseFirmwareLine(c.line);
    ASSERT_EQ(r.status, ParseStatus::Record) << ParseErrorName(r.error);
    EXPECT_EQ(r.error, ParseError::None);
    EXPECT_EQ(r.record.type, 1);
    EXPECT_EQ(r.record.count, c.count);
    EXPECT_EQ(r.record.addrHigh, c.addrHigh);
    EXPECT_EQ(r.record.addrLow, c.addrLow);
    EXPECT_EQ(r.record.data, c.data);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParsesRecord,
    ::testing::Values(
        RecordCase{"Usual", kRecord, 0x13, 0x23, 0x40, kRecordData},
        RecordCase{"LowerCase", kRecord.toLower(), 0x13, 0x23, 0x40, kRecordData},
        RecordCase{"WrongCheckByte", QString(kRecord).replace(40, 2, "00"), 0x13, 0x23, 0x40,
                   kRecordData},
        RecordCase{"OtherStartCharacter", QString(kRecord).replace(0, 1, "S"), 0x13, 0x23, 0x40,
                   kRecordData},
        // check byte and extras need not be hex, nor there at all
        RecordCase{"ExtrasNotHex", kRecord.left(40) + "zz-xyz", 0x13, 0x23, 0x40, kRecordData},
        RecordCase{"ExactlyLongEnough", kRecord.left(40), 0x13, 0x23, 0x40, kRecordData},
        RecordCase{"CountThreeHasNoData", ":103ABCD", 0x03, 0xAB, 0xCD, {}},
        RecordCase{"CountSeven", ":107FFEE0102FEFF3C", 0x07, 0xFF, 0xEE, {0x01, 0x02, 0xFE, 0xFF}},
        RecordCase{"CountFiftyEight", ":13A0000" + QString(110, QLatin1Char('7')), 0x3A, 0x00, 0x00,
                   std::vector<std::uint8_t>(55, 0x77)}),
    [](const auto& info) { return std::string(info.param.name); });

class SkipsType : public ::testing::TestWithParam<char> {};

TEST_P(SkipsType, OtherThanOne) {
    // The rest of the line is garbage: a skipped line must not be parsed beyond its type.
    const QString line = QStringLiteral(":%1zz").arg(QLatin1Char(GetParam()));
    const ParseResult r = ParseFirmwareLine(line);
    EXPECT_EQ(r.status, ParseStatus::Skipped);
    EXPECT_EQ(r.record.type, QString(QLatin1Char(GetParam())).toInt(nullptr, 16));
    // the same type in front of a well-formed record is skipped too
    EXPECT_EQ(ParseFirmwareLine(QString(kRecord).replace(1, 1, QLatin1Char(GetParam()))).status,
              ParseStatus::Skipped);
}

INSTANTIATE_TEST_SUITE_P(Table, SkipsType,
                         ::testing::Values('0', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B',
                                           'C', 'D', 'E', 'F', 'a', 'b', 'c', 'd', 'e', 'f'),
                         [](const auto& info) { return std::string(1, info.param); });

struct ErrorCase {
    const char* name;
    QString line;
    ParseError error;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << '"' << c.line.toStdString() << '"';
}

class RejectsLine : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(RejectsLine, WithItsReason) {
    const ParseResult r = ParseFirmwareLine(GetParam().line);
    EXPECT_EQ(r.status, ParseStatus::Error);
    EXPECT_EQ(r.error, GetParam().error)
        << "got " << ParseErrorName(r.error) << ", want " << ParseErrorName(GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RejectsLine,
    ::testing::Values(
        ErrorCase{"TypeNotHex", ":G132340", ParseError::TypeNotHex},
        ErrorCase{"TypeSpace", ": 13", ParseError::TypeNotHex},
        ErrorCase{"CountNotHex", ":11G2340" + kRecord.mid(8), ParseError::CountNotHex},
        ErrorCase{"CountLowDigitNotHex", ":11x2340" + kRecord.mid(8), ParseError::CountNotHex},
        ErrorCase{"AddressHighNotHex", QString(kRecord).replace(4, 1, "g"),
                  ParseError::AddressNotHex},
        ErrorCase{"AddressLowNotHex", QString(kRecord).replace(7, 1, "."),
                  ParseError::AddressNotHex},
        ErrorCase{"FirstDataNotHex", QString(kRecord).replace(8, 1, "X"), ParseError::DataNotHex},
        ErrorCase{"LastDataNotHex", QString(kRecord).replace(39, 1, "X"), ParseError::DataNotHex},
        ErrorCase{"ShortByOne", kRecord.left(39), ParseError::LineTooShort},
        ErrorCase{"CountThreeShortByOne", ":103ABC", ParseError::LineTooShort},
        ErrorCase{"CountFiftyEightShortByOne", ":13A0000" + QString(109, QLatin1Char('7')),
                  ParseError::LineTooShort},
        ErrorCase{"CountCutOff", ":11", ParseError::LineTooShort},
        ErrorCase{"TypeOnly", ":1", ParseError::LineTooShort},
        ErrorCase{"StartOnly", ":", ParseError::LineTooShort},
        ErrorCase{"Empty", "", ParseError::LineTooShort},
        ErrorCase{"CountTwo", ":1022340" + kRecord.mid(8), ParseError::CountOutOfRange},
        ErrorCase{"CountZero", ":1002340", ParseError::CountOutOfRange},
        ErrorCase{"CountFiftyNine", ":13B0000" + QString(120, QLatin1Char('0')),
                  ParseError::CountOutOfRange},
        ErrorCase{"CountFF", ":1FF0000" + QString(520, QLatin1Char('0')),
                  ParseError::CountOutOfRange}),
    [](const auto& info) { return std::string(info.param.name); });

FirmwareRecord Parsed(const QString& line) {
    const ParseResult r = ParseFirmwareLine(line);
    EXPECT_EQ(r.status, ParseStatus::Record) << ParseErrorName(r.error);
    return r.record;
}

std::vector<std::uint8_t> Sent(const TFrameRequest& req) {
    return {req.bytes.begin() + 4, req.bytes.begin() + 4 + req.dataLength()};
}

TEST(RecordFrames, CountThreeCarriesOnlyTheAddressWord) {
    TFrameRequest req;
    req.bytes.fill(0xEE); // left over from earlier frames
    const FirmwareRecord rec = Parsed(":103ABCD");

    FillDataFrame(req, rec);
    EXPECT_EQ(req.dataLength(), 4);
    EXPECT_EQ(Sent(req), (std::vector<std::uint8_t>{0, 0, 0, 0}));

    FillAddrDataFrame(req, rec);
    EXPECT_EQ(req.dataLength(), 4);
    EXPECT_EQ(Sent(req), (std::vector<std::uint8_t>{0xCD, 0xAB, 0, 0}));
    // nothing beyond the frame's own bytes is written
    for (std::size_t i = 8; i < req.bytes.size(); ++i)
        EXPECT_EQ(req.bytes[i], 0xEE) << i;
}

TEST(RecordFrames, UsualRecordSecondFrameReusesTheData) {
    TFrameRequest req;
    // A longer record went first: its tail beyond this record's data must stay untouched.
    const FirmwareRecord longer = Parsed(":13A0000" + QString(110, QLatin1Char('9')));
    FillDataFrame(req, longer);
    FillAddrDataFrame(req, longer);
    const FirmwareRecord rec = Parsed(kRecord);

    FillDataFrame(req, rec);
    EXPECT_EQ(req.dataLength(), 20);
    std::vector<std::uint8_t> want = {0, 0, 0, 0};
    want.insert(want.end(), kRecordData.begin(), kRecordData.end());
    EXPECT_EQ(Sent(req), want);

    FillAddrDataFrame(req, rec);
    EXPECT_EQ(req.dataLength(), 20);
    want[0] = 0x40;
    want[1] = 0x23;
    EXPECT_EQ(Sent(req), want);
    EXPECT_EQ(req[24], 0x99);
}

} // namespace
