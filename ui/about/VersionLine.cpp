#include "VersionLine.h"

namespace VersionLine {

namespace {

// Zero-padded to `digits`, never cut; a minus sign goes before the padding.
QString padded(qint16 number, int digits)
{
    const int value = number; // -32768 has no positive qint16
    const QString magnitude = QString::number(value < 0 ? -value : value);
    return (value < 0 ? QStringLiteral("-") : QString()) +
           magnitude.rightJustified(digits, QLatin1Char('0'));
}

} // namespace

QString withoutRevision(qint16 major, qint16 minor)
{
    return QStringLiteral("Version ") + QString::number(major) + QLatin1Char('.') +
           padded(minor, 2);
}

QString revisionPart(qint16 revision)
{
    return revision > 0 ? QLatin1Char('.') + padded(revision, 4) : QString();
}

QString text(qint16 major, qint16 minor, qint16 revision)
{
    return withoutRevision(major, minor) + revisionPart(revision);
}

} // namespace VersionLine
