#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Resources of the program are stored under an upper-case type and name (":/APP/APPBIN",
// ":/SKIN/BKIMAGE2_JPG"); callers may name them in any case.
namespace hidiap {

// Returns the bytes of the resource, or nothing when no resource of that type and name exists.
std::optional<QByteArray> FindResource(const QString& type, const QString& name);

// The resource path that FindResource looks at for a type and name.
QString ResourcePath(const QString& type, const QString& name);

} // namespace hidiap
