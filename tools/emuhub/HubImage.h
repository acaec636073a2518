#pragma once

#include "EmulatedHub.h"

#include <QStringList>

#include <vector>

namespace emuhub {

// The records a boot loader holds after these firmware lines were sent, in order: what an
// emulated hub should expect as a complete image.
std::vector<ImageRecord> RecordsOf(const QStringList& lines);

} // namespace emuhub
