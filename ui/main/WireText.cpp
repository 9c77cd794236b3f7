#include "WireText.h"

#include "LineEnds.h"

#include <QChar>

namespace WireText {

namespace {

constexpr const char *controlNames[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                          "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                          "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                          "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};

QString hex(char16_t c, int digits)
{
    return QString::number(uint(c), 16).toUpper().rightJustified(digits, u'0');
}

enum class WordClass { Word, Space, Other, Alone };

WordClass classAt(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    if (c == u' ' || c == u'\t')
        return WordClass::Space;
    if (LineEnds::lengthAt(text, i) || markFor(c).kind != MarkKind::None)
        return WordClass::Alone;
    const QChar qc(c);
    if (qc.isLetterOrNumber() || qc.isMark() || c == u'_' || qc.isSurrogate())
        return WordClass::Word;
    return WordClass::Other;
}

} // namespace

Mark markFor(char16_t c)
{
    if (c < 0x20)
        return c == u'\t' ? Mark{} : Mark{MarkKind::Name, QLatin1String(controlNames[c])};
    if (c == 0x7F)
        return {MarkKind::Name, QStringLiteral("DEL")};
    if (c < 0x80)
        return {};
    if (c < 0xA0)
        return {MarkKind::Code, hex(c, 2)};
    if (c == 0xA0)
        return {MarkKind::Code, QStringLiteral("NBSP")};
    if (c == 0xAD)
        return {MarkKind::Code, QStringLiteral("SHY")};
    if (c < 0x100)
        return {};
    switch (QChar::category(char32_t(c))) {
    case QChar::Separator_Space: // looks like a space, and is not one
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Surrogate: // only ever asked about one that has no partner
        return {MarkKind::Code, hex(c, 4)};
    default:
        return QChar::isNonCharacter(char32_t(c)) ? Mark{MarkKind::Code, hex(c, 4)} : Mark{};
    }
}

bool isBoundary(QStringView text, qsizetype position)
{
    if (position <= 0 || position >= text.size())
        return true;
    const QChar before = text[position - 1];
    const QChar after = text[position];
    if (before == u'\r' && after == u'\n')
        return false;
    return !(before.isHighSurrogate() && after.isLowSurrogate());
}

qsizetype snapBack(QStringView text, qsizetype position)
{
    position = qBound<qsizetype>(0, position, text.size());
    return isBoundary(text, position) ? position : position - 1;
}

qsizetype nextBoundary(QStringView text, qsizetype position)
{
    if (position >= text.size())
        return text.size();
    return isBoundary(text, position + 1) ? position + 1 : position + 2;
}

qsizetype previousBoundary(QStringView text, qsizetype position)
{
    if (position <= 0)
        return 0;
    return isBoundary(text, position - 1) ? position - 1 : position - 2;
}

qsizetype lineStart(QStringView text, qsizetype position)
{
    for (qsizetype i = position; i > 0; --i) {
        const char16_t c = text[i - 1].unicode();
        // The CR of a pair ends nothing on its own: the LF after it does.
        if (c == u'\n' || (c == u'\r' && (i == text.size() || text[i] != u'\n')))
            return i;
    }
    return 0;
}

qsizetype lineEndAfter(QStringView text, qsizetype position)
{
    for (qsizetype i = position; i < text.size(); ++i) {
        if (const int length = LineEnds::lengthAt(text, i))
            return i + length;
    }
    return text.size();
}

qsizetype beforeLineEnd(QStringView text, qsizetype from, qsizetype to)
{
    if (to <= from || (text[to - 1] != u'\n' && text[to - 1] != u'\r'))
        return to;
    return qMax(from, previousBoundary(text, to));
}

Span wordAt(QStringView text, qsizetype position)
{
    if (text.isEmpty())
        return {};
    const qsizetype at = snapBack(text, qMin(position, text.size() - 1));
    const WordClass kind = classAt(text, at);
    if (kind == WordClass::Alone)
        return {at, nextBoundary(text, at)};
    Span span{at, at};
    while (span.from > 0 && classAt(text, previousBoundary(text, span.from)) == kind)
        span.from = previousBoundary(text, span.from);
    while (span.to < text.size() && classAt(text, span.to) == kind)
        span.to = nextBoundary(text, span.to);
    return span;
}

qsizetype nextWordStart(QStringView text, qsizetype position)
{
    if (position >= text.size())
        return text.size();
    qsizetype at = wordAt(text, position).to;
    if (at <= position)
        at = nextBoundary(text, position);
    while (at < text.size() && classAt(text, at) == WordClass::Space)
        at = nextBoundary(text, at);
    return at;
}

qsizetype previousWordStart(QStringView text, qsizetype position)
{
    qsizetype at = snapBack(text, position);
    while (at > 0 && classAt(text, previousBoundary(text, at)) == WordClass::Space)
        at = previousBoundary(text, at);
    if (at == 0)
        return 0;
    const qsizetype before = previousBoundary(text, at);
    const WordClass kind = classAt(text, before);
    if (kind == WordClass::Alone)
        return before;
    at = before;
    while (at > 0 && classAt(text, previousBoundary(text, at)) == kind)
        at = previousBoundary(text, at);
    return at;
}

} // namespace WireText
