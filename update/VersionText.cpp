#include "VersionText.h"

#include "Frame.h"

namespace hidiap {

QString FormatVersion(const QString& text) {
    if (text.size() != 8)
        return text;
    const QChar dot = QLatin1Char('.');
    return text.mid(0, 1) + dot + text.mid(1, 1) + dot + text.mid(2, 2) + dot + text.mid(4, 4);
}

QString VersionHex(quint32 version) {
    return QStringLiteral("%1").arg(version, 8, 16, QLatin1Char('0')).toUpper();
}

quint32 VersionFromReply(const std::uint8_t* reply) {
    const std::uint8_t* b = reply + hublink::REPLY_POS_DATA;
    return (quint32(b[0]) << 24) | (quint32(b[1]) << 16) | (quint32(b[2]) << 8) | quint32(b[3]);
}

QString VersionTextFromReply(const std::uint8_t* reply) {
    // Written from the bytes, not the number, so the text always has all eight digits.
    QString text;
    for (std::size_t i = 0; i < 4; ++i)
        text += QStringLiteral("%1")
                    .arg(reply[hublink::REPLY_POS_DATA + i], 2, 16, QLatin1Char('0'))
                    .toUpper();
    return text;
}

} // namespace hidiap
