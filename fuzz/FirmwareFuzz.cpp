// Firmware text: splitting into lines, the fields of every line and the two record frames built
// from a record. Whatever the text, nothing reads out of range, a record fits one frame, and
// the frames built from it pass the hub's frame checks.
#include "EmulatedHub.h"
#include "FirmwareImage.h"
#include "Frame.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace hidiap;
using namespace hublink;

namespace {

void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

int Hex(QChar c) {
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

void CheckFrame(std::uint8_t command, const TFrameRequest& request) {
    Require(request.dataLength() <= FRAME_MAX_DATA, "n <= 59");
    OutputReport report{};
    Require(BuildOutputReport(command, request, report), "a record's frame is built");
    Require(emuhub::CheckReport(report.data(), report.size()) == emuhub::ReportCheck::Ok,
            "the frame passes the hub's checks");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = SplitFirmwareLines(text);
    // Lines end at CR, LF or NUL; none of these may survive inside a line.
    for (const QString& l : lines)
        Require(!l.contains(QLatin1Char('\r')) && !l.contains(QLatin1Char('\n')) &&
                    !l.contains(QChar(0)),
                "no line end inside a line");

    TFrameRequest request; // reused across records, as the update does
    for (const QString& line : lines) {
        const ParseResult r = ParseFirmwareLine(line);
        if (r.status != ParseStatus::Record) {
            Require(r.status == ParseStatus::Skipped || r.error != ParseError::None,
                    "an error says which");
            continue;
        }
        const FirmwareRecord& rec = r.record;
        Require(rec.type == DATA_RECORD_TYPE, "records are type 1");
        Require(rec.count >= MIN_RECORD_COUNT && rec.count <= MAX_RECORD_COUNT, "count in range");
        Require(rec.data.size() == static_cast<std::size_t>(rec.count - 3), "count - 3 data bytes");
        // The fields are the hex digits at their positions, of either case.
        Require(line.size() >= 8 + 2 * (rec.count - 3), "the line holds the record");
        Require(Hex(line[4]) * 16 + Hex(line[5]) == rec.addrHigh, "address high");
        Require(Hex(line[6]) * 16 + Hex(line[7]) == rec.addrLow, "address low");
        for (std::size_t k = 0; k < rec.data.size(); ++k)
            Require(Hex(line[8 + 2 * static_cast<int>(k)]) * 16 +
                            Hex(line[9 + 2 * static_cast<int>(k)]) ==
                        rec.data[k],
                    "data byte");
        // Only the hex letters change case: QString::toUpper would also turn a start character
        // such as U+00DF into two and shift every field.
        QString upperLine = line;
        for (QChar& c : upperLine)
            if (c.unicode() >= 'a' && c.unicode() <= 'f')
                c = QChar(c.unicode() - 'a' + 'A');
        const ParseResult upper = ParseFirmwareLine(upperLine);
        Require(upper.status == ParseStatus::Record && upper.record.data == rec.data &&
                    upper.record.addrLow == rec.addrLow && upper.record.addrHigh == rec.addrHigh,
                "case does not matter");

        FillDataFrame(request, rec);
        Require(request.dataLength() == rec.count + 1, "CMD_DATA n = count + 1");
        for (int i = 0; i < 4; ++i)
            Require(request.data(static_cast<std::size_t>(i)) == 0, "four zero bytes");
        CheckFrame(CMD_DATA, request);
        FillAddrDataFrame(request, rec);
        Require(request.dataLength() == rec.count + 1, "CMD_ADDR_DATA n = count + 1");
        Require(request.data(0) == rec.addrLow && request.data(1) == rec.addrHigh &&
                    request.data(2) == 0 && request.data(3) == 0,
                "address low first");
        for (std::size_t k = 0; k < rec.data.size(); ++k)
            Require(request.data(4 + k) == rec.data[k], "data kept from CMD_DATA");
        CheckFrame(CMD_ADDR_DATA, request);
    }
    return 0;
}
