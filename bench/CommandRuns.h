#pragma once

#include "Reception.h"

// After receiving, one command on the full transcript, timed.
namespace bench {

// A 中 typed in the middle: the peak with a block widened.
Figures runWiden(const Shape &shape, qint64 mib);
// Clear, then what is still resident.
Figures runClear(const Shape &shape, qint64 mib);
Figures runSelectAll(const Shape &shape, qint64 mib);
Figures runCopy(const Shape &shape, qint64 mib);
Figures runSave(const Shape &shape, qint64 mib);
Figures runTripleClick(const Shape &shape, qint64 mib);
Figures runHexSwitch(const Shape &shape, qint64 mib);

} // namespace bench
