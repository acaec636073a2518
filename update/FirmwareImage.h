#pragma once

#include "Frame.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// The built-in firmware image: its lines, the fields the update takes from a line, and the
// two record frames built from them.
//
// Line layout (positions from 1): start character (not read), record type (one hex digit), count
// (2 hex digits: address, data and check bytes), address high, address low, count - 3 data
// bytes, check byte (not read), anything further (not read).
namespace hidiap {

// Splits image text into lines. A line ends at CR LF, lone CR or lone LF; the end of the last
// line adds no empty entry, empty lines inside do; a NUL byte ends the text. Bytes are Latin-1.
QStringList SplitFirmwareLines(const QByteArray& text);

// The lines of resource APP/APPBIN, or an empty list when the resource is missing.
QStringList LoadFirmwareLines();

// Bounds of a type-1 count field: 3 is an address with no data; above 58 the record frame
// (count + 1 data bytes) would exceed the 59 data bytes a frame holds.
constexpr int MIN_RECORD_COUNT = 3;
constexpr int MAX_RECORD_COUNT = static_cast<int>(hublink::FRAME_MAX_DATA) - 1;

// The type of record the update sends; every other type is skipped.
constexpr int DATA_RECORD_TYPE = 1;

struct FirmwareRecord {
    int type = 0;
    std::uint8_t count = 0;
    std::uint8_t addrHigh = 0;
    std::uint8_t addrLow = 0;
    std::vector<std::uint8_t> data; // count - 3 bytes
};

enum class ParseStatus {
    Record,  // a type-1 line, all fields parsed
    Skipped, // a valid type digit other than 1: nothing is sent for the line
    Error,   // see ParseError
};

enum class ParseError {
    None,
    LineTooShort, // fewer characters than the type, the count or the count's data need
    TypeNotHex,
    CountNotHex,
    CountOutOfRange, // count outside MIN_RECORD_COUNT..MAX_RECORD_COUNT
    DataNotHex,
    AddressNotHex,
};

struct ParseResult {
    ParseStatus status = ParseStatus::Error;
    ParseError error = ParseError::None; // set only for ParseStatus::Error
    FirmwareRecord record;               // type always set once read; the rest only for Record
};

// Takes the fields of one line as the update needs them. The start character, the check byte
// and characters after the data are never read; hex digits may be of either case. Never reads
// past the end of the line.
ParseResult ParseFirmwareLine(const QString& line);

const char* ParseErrorName(ParseError error);

// The request record is reused across frames, so each fill writes only its own bytes.
// CMD_DATA: bytes 4..7 = 0, the data bytes from byte 8, n = count + 1.
void FillDataFrame(hublink::TFrameRequest& request, const FirmwareRecord& record);
// CMD_ADDR_DATA: bytes 4..7 = address low, address high, 0, 0, n = count + 1. Bytes 8 onward
// are left as FillDataFrame wrote them.
void FillAddrDataFrame(hublink::TFrameRequest& request, const FirmwareRecord& record);

} // namespace hidiap
