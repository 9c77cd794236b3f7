#pragma once

#include <QString>

class OriginSpans;
class QTimeZone;

// What the transcript says about when its characters came: the clock time
// beside a row, and the tip about the character under the pointer. A time
// is in microseconds since the epoch (UTC) and shown in `zone`.
namespace TimeTexts {

// "HH:MM:SS.mmm", or to the microsecond with 6 `decimals`. The digits are
// cut, never rounded up: a time never shows later than it was.
QString clockTime(qint64 time, const QTimeZone &zone, int decimals = 3);

// The tip for the character at `position`: for the peer's, when its piece
// was read, the piece's size and how long after the piece before it; for a
// status line's, when it was written; none for what was typed. A piece is a
// span of the peer's (pieces read within the same millisecond share one);
// one that an edit cut in two is still one piece.
QString originTip(const OriginSpans &origins, qsizetype position, const QTimeZone &zone);

} // namespace TimeTexts
