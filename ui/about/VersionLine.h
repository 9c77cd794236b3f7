#pragma once

#include <QString>

// The About dialog's version line: "Version 0.52", "Version 1.05.0003".
namespace VersionLine {

// "Version ", the major number, ".", the minor number with at least two
// digits.
QString withoutRevision(qint16 major, qint16 minor);

// "." and the revision with at least four digits; nothing for a revision of
// 0 or less.
QString revisionPart(qint16 revision);

// Both together.
QString text(qint16 major, qint16 minor, qint16 revision);

} // namespace VersionLine
