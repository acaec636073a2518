#include "HubImage.h"

#include "FirmwareImage.h"

namespace emuhub {

std::vector<ImageRecord> RecordsOf(const QStringList& lines) {
    std::vector<ImageRecord> records;
    for (const QString& line : lines) {
        const hidiap::ParseResult r = hidiap::ParseFirmwareLine(line);
        if (r.status == hidiap::ParseStatus::Record)
            records.push_back(
                {static_cast<std::uint16_t>(r.record.addrHigh << 8 | r.record.addrLow),
                 Bytes(r.record.data.begin(), r.record.data.end())});
    }
    return records;
}

} // namespace emuhub
