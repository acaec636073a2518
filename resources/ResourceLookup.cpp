#include "ResourceLookup.h"

#include <QFile>

namespace hidiap {

QString ResourcePath(const QString& type, const QString& name) {
    return QStringLiteral(":/") + type.toUpper() + QLatin1Char('/') + name.toUpper();
}

std::optional<QByteArray> FindResource(const QString& type, const QString& name) {
    if (type.isEmpty() || name.isEmpty() || type.contains(QLatin1Char('/')) ||
        name.contains(QLatin1Char('/')))
        return std::nullopt;
    QFile file(ResourcePath(type, name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace hidiap
