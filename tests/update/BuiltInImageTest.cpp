// The image as the program embeds it: read through the resource lookup, not from the source tree.
#include "FirmwareImage.h"
#include "ResourceLookup.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <vector>

using namespace hidiap;

namespace {

constexpr int kLines = 626;
constexpr int kLineLength = 48;

QByteArray EmbeddedImage() {
    const std::optional<QByteArray> bytes =
        FindResource(QStringLiteral("app"), QStringLiteral("AppBin"));
    return bytes.value_or(QByteArray());
}

// The raw lines, split only at CR LF, so that any other line end shows up as a fault.
std::vector<QByteArray> RawLines(const QByteArray& image) {
    std::vector<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = image.indexOf("\r\n"); i >= 0; i = image.indexOf("\r\n", start)) {
        lines.push_back(image.mid(start, i - start));
        start = i + 2;
    }
    return lines;
}

int Byte(const QByteArray& line, int pos) { // 1-based position of the high digit
    bool ok = false;
    const int value = line.mid(pos - 1, 2).toInt(&ok, 16);
    return ok ? value : -1;
}

int Address(const QByteArray& line) {
    return Byte(line, 5) * 256 + Byte(line, 7);
}

} // namespace

TEST(BuiltInImage, ResourceTextLayout) {
    const QByteArray image = EmbeddedImage();
    ASSERT_EQ(image.size(), 31300);
    EXPECT_TRUE(image.endsWith("\r\n"));
    EXPECT_EQ(image.count('\r'), kLines);
    EXPECT_EQ(image.count('\n'), kLines);

    const std::vector<QByteArray> lines = RawLines(image);
    ASSERT_EQ(static_cast<int>(lines.size()), kLines);
    for (int i = 0; i < kLines; ++i) {
        const QByteArray& line = lines[i];
        SCOPED_TRACE(i + 1);
        ASSERT_EQ(line.size(), kLineLength);
        EXPECT_EQ(line[0], ':');
        for (int p = 1; p < kLineLength; ++p) {
            const char c = line[p];
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F'))
                << "position " << p + 1 << " is '" << c << "'";
        }
    }
}

TEST(BuiltInImage, RecordsAndCheckBytes) {
    const std::vector<QByteArray> lines = RawLines(EmbeddedImage());
    ASSERT_EQ(static_cast<int>(lines.size()), kLines);

    int jumps = 0;
    std::vector<bool> seen(256, false);
    for (int i = 0; i < kLines; ++i) {
        const QByteArray& line = lines[i];
        const int number = i + 1;
        SCOPED_TRACE(number);
        const bool last = number == kLines;
        EXPECT_EQ(line[1], last ? '9' : '1');

        const int count = Byte(line, 3);
        const int expectedCount = last ? 0x03 : (number == 13 || number == 625) ? 0x07 : 0x13;
        ASSERT_EQ(count, expectedCount);

        // count bytes follow the count field; the last of them is the check byte
        int sum = count;
        for (int k = 0; k < count - 1; ++k)
            sum += Byte(line, 5 + 2 * k);
        EXPECT_EQ(Byte(line, 5 + 2 * (count - 1)), ~sum & 0xFF);
        for (int k = 0; k < count - 3; ++k)
            seen[Byte(line, 9 + 2 * k)] = true;

        if (last) {
            EXPECT_EQ(Address(line), 0x2000) << "start address";
            continue;
        }
        if (number == 1) {
            EXPECT_EQ(Address(line), 0x2000);
            continue;
        }
        const int step = Address(line) - Address(lines[i - 1]);
        if (step != 16) {
            ++jumps;
            EXPECT_EQ(number, 13) << "jump of " << step;
            EXPECT_GT(step, 16);
        }
    }
    EXPECT_EQ(jumps, 1);
    // enciphered firmware uses nearly every byte value; a fill pattern would not
    EXPECT_GT(std::count(seen.begin(), seen.end(), true), 240);
}

TEST(BuiltInImage, LoadedLinesParseAsTheUpdateSendsThem) {
    const QStringList lines = LoadFirmwareLines();
    ASSERT_EQ(lines.size(), kLines);
    const std::vector<QByteArray> raw = RawLines(EmbeddedImage());
    ASSERT_EQ(static_cast<int>(raw.size()), kLines);
    for (int i = 0; i < kLines - 1; ++i) {
        SCOPED_TRACE(i + 1);
        const ParseResult r = ParseFirmwareLine(lines[i]);
        ASSERT_EQ(r.status, ParseStatus::Record) << ParseErrorName(r.error);
        EXPECT_EQ(r.record.count, Byte(raw[i], 3));
        EXPECT_EQ(r.record.addrHigh, Byte(raw[i], 5));
        EXPECT_EQ(r.record.addrLow, Byte(raw[i], 7));
        ASSERT_EQ(r.record.data.size(), std::size_t(r.record.count - 3));
        for (std::size_t k = 0; k < r.record.data.size(); ++k)
            EXPECT_EQ(r.record.data[k], Byte(raw[i], 9 + 2 * int(k)));
    }
    const ParseResult end = ParseFirmwareLine(lines.last());
    EXPECT_EQ(end.status, ParseStatus::Skipped);
    EXPECT_EQ(end.record.type, 9);
}
