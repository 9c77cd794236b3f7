#include "TimeTexts.h"

#include "OriginSpans.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

namespace {

constexpr qint64 perSecond = 1'000'000;
constexpr qint64 perDay = 86'400 * perSecond;

// The gap from the piece before: in milliseconds below a second, in seconds
// from there, both to the microsecond.
QString gapText(qint64 gap)
{
    const qint64 size = qAbs(gap);
    const QString amount =
        size < perSecond
            ? QStringLiteral("%1.%2 ms").arg(size / 1000).arg(size % 1000, 3, 10, QLatin1Char('0'))
            : QStringLiteral("%1.%2 s")
                  .arg(size / perSecond)
                  .arg(size % perSecond, 6, 10, QLatin1Char('0'));
    // Only a clock set back between two sessions puts a piece before the one it follows.
    return amount + (gap < 0 ? QStringLiteral(" before") : QStringLiteral(" after")) +
           QStringLiteral(" the previous piece");
}

} // namespace

namespace TimeTexts {

QString clockTime(qint64 time, const QTimeZone &zone, int decimals)
{
    const QDateTime instant =
        QDateTime::fromMSecsSinceEpoch(time / 1000 - (time % 1000 < 0), QTimeZone::utc());
    const qint64 local = time + qint64(zone.offsetFromUtc(instant)) * perSecond;
    const qint64 ofDay = (local % perDay + perDay) % perDay;
    const qint64 seconds = ofDay / perSecond;
    const qint64 fraction = ofDay % perSecond / (decimals == 6 ? 1 : 1000);
    const QLatin1Char zero('0');
    return QStringLiteral("%1:%2:%3.%4")
        .arg(seconds / 3600, 2, 10, zero)
        .arg(seconds / 60 % 60, 2, 10, zero)
        .arg(seconds % 60, 2, 10, zero)
        .arg(fraction, decimals == 6 ? 6 : 3, 10, zero);
}

QString originTip(const OriginSpans &origins, qsizetype position, const QTimeZone &zone)
{
    if (position < 0 || position >= origins.size())
        return {};
    const qsizetype index = origins.indexAt(position);
    const OriginStamp stamp = origins.span(index).stamp;
    if (stamp.origin == Origin::Status)
        return QStringLiteral("Status line written %1").arg(clockTime(stamp.time, zone, 6));
    if (stamp.origin != Origin::Peer)
        return {};

    // The piece's spans share its stamp, with only typed text or status
    // lines between them; the piece before is the first of the peer's other
    // spans back.
    qsizetype size = 0;
    QString previous = QStringLiteral("no earlier piece in the transcript");
    for (qsizetype at = index; at >= 0; --at) {
        const OriginSpans::Span span = origins.span(at);
        if (span.stamp == stamp) {
            size += span.to - span.from;
        } else if (span.stamp.origin == Origin::Peer) {
            previous = gapText(stamp.time - span.stamp.time);
            break;
        }
    }
    for (qsizetype at = index + 1; at < origins.spanCount(); ++at) {
        const OriginSpans::Span span = origins.span(at);
        if (span.stamp == stamp)
            size += span.to - span.from;
        else if (span.stamp.origin == Origin::Peer)
            break;
    }
    const QString bytes = size == 1
                              ? QStringLiteral("1 byte")
                              : QLocale(QLocale::English).toString(size) + QStringLiteral(" bytes");
    return QStringLiteral("Read %1 \u00B7 %2 \u00B7 %3")
        .arg(clockTime(stamp.time, zone, 6), bytes, previous);
}

} // namespace TimeTexts
