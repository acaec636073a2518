#include "FirmwareImage.h"

#include "ResourceLookup.h"

#include <algorithm>
#include <optional>

namespace hidiap {

QStringList SplitFirmwareLines(const QByteArray& text) {
    QStringList lines;
    const qsizetype nul = text.indexOf('\0');
    const qsizetype end = nul < 0 ? text.size() : nul;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < end) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines << QString::fromLatin1(text.constData() + start, i - start);
        i += (c == '\r' && i + 1 < end && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < end)
        lines << QString::fromLatin1(text.constData() + start, end - start);
    return lines;
}

QStringList LoadFirmwareLines() {
    const std::optional<QByteArray> text =
        FindResource(QStringLiteral("APP"), QStringLiteral("appbin"));
    return text ? SplitFirmwareLines(*text) : QStringList{};
}

namespace {

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// The byte at 1-based positions pos, pos + 1; the caller has checked that both exist.
std::optional<std::uint8_t> HexByte(const QString& line, qsizetype pos) {
    const int high = HexDigit(line[pos - 1]);
    const int low = HexDigit(line[pos]);
    if (high < 0 || low < 0)
        return std::nullopt;
    return static_cast<std::uint8_t>(high * 16 + low);
}

ParseResult Fail(ParseResult result, ParseError error) {
    result.status = ParseStatus::Error;
    result.error = error;
    return result;
}

} // namespace

ParseResult ParseFirmwareLine(const QString& line) {
    ParseResult result;
    if (line.size() < 2)
        return Fail(result, ParseError::LineTooShort);
    const int type = HexDigit(line[1]);
    if (type < 0)
        return Fail(result, ParseError::TypeNotHex);
    result.record.type = type;
    if (type != DATA_RECORD_TYPE) {
        result.status = ParseStatus::Skipped;
        return result;
    }

    if (line.size() < 4)
        return Fail(result, ParseError::LineTooShort);
    const std::optional<std::uint8_t> count = HexByte(line, 3);
    if (!count)
        return Fail(result, ParseError::CountNotHex);
    if (*count < MIN_RECORD_COUNT || *count > MAX_RECORD_COUNT)
        return Fail(result, ParseError::CountOutOfRange);
    const int dataBytes = *count - 3;
    if (line.size() < 8 + 2 * dataBytes)
        return Fail(result, ParseError::LineTooShort);

    std::vector<std::uint8_t> data;
    data.reserve(static_cast<std::size_t>(dataBytes));
    for (int k = 0; k < dataBytes; ++k) {
        const std::optional<std::uint8_t> b = HexByte(line, 9 + 2 * k);
        if (!b)
            return Fail(result, ParseError::DataNotHex);
        data.push_back(*b);
    }
    const std::optional<std::uint8_t> low = HexByte(line, 7);
    const std::optional<std::uint8_t> high = HexByte(line, 5);
    if (!low || !high)
        return Fail(result, ParseError::AddressNotHex);

    result.status = ParseStatus::Record;
    result.record.count = *count;
    result.record.addrLow = *low;
    result.record.addrHigh = *high;
    result.record.data = std::move(data);
    return result;
}

const char* ParseErrorName(ParseError error) {
    switch (error) {
    case ParseError::None:
        return "None";
    case ParseError::LineTooShort:
        return "LineTooShort";
    case ParseError::TypeNotHex:
        return "TypeNotHex";
    case ParseError::CountNotHex:
        return "CountNotHex";
    case ParseError::CountOutOfRange:
        return "CountOutOfRange";
    case ParseError::DataNotHex:
        return "DataNotHex";
    case ParseError::AddressNotHex:
        return "AddressNotHex";
    }
    return "?";
}

namespace {

constexpr std::size_t RECORD_DATA_POS = hublink::FRAME_POS_DATA + 4;

void SetRecordLength(hublink::TFrameRequest& request, const FirmwareRecord& record) {
    request.setDataLength(static_cast<std::uint8_t>(record.count + 1));
}

} // namespace

void FillDataFrame(hublink::TFrameRequest& request, const FirmwareRecord& record) {
    for (std::size_t k = 0; k < 4; ++k)
        request.data(k) = 0;
    // A record from ParseFirmwareLine always fits; the bound only guards hand-made ones.
    const std::size_t n = std::min(record.data.size(), hublink::FRAME_SIZE - RECORD_DATA_POS);
    std::copy_n(record.data.begin(), n, request.bytes.begin() + RECORD_DATA_POS);
    SetRecordLength(request, record);
}

void FillAddrDataFrame(hublink::TFrameRequest& request, const FirmwareRecord& record) {
    request.data(0) = record.addrLow;
    request.data(1) = record.addrHigh;
    request.data(2) = 0;
    request.data(3) = 0;
    SetRecordLength(request, record);
}

} // namespace hidiap
