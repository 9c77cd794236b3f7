#include "TextRules.h"

#include "WireDocument.h"

#include <QChar>

namespace TextRules {

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

WordClass classAt(const WireDocument &text, qsizetype i)
{
    const char16_t c = text.at(i);
    if (c == u' ' || c == u'\t')
        return WordClass::Space;
    if (lineEndAt(text, i) || markKindOf(c) != MarkKind::None)
        return WordClass::Alone;
    const QChar qc(c);
    if (qc.isLetterOrNumber() || qc.isMark() || c == u'_' || qc.isSurrogate())
        return WordClass::Word;
    return WordClass::Other;
}

} // namespace

MarkKind markKindOf(char16_t c)
{
    if (c < 0x20)
        return c == u'\t' ? MarkKind::None : MarkKind::Name;
    if (c == 0x7F)
        return MarkKind::Name;
    if (c < 0x80)
        return MarkKind::None;
    if (c < 0xA0 || c == 0xA0 || c == 0xAD)
        return MarkKind::Code;
    if (c < 0x100)
        return MarkKind::None;
    switch (QChar::category(char32_t(c))) {
    case QChar::Separator_Space: // looks like a space, and is not one
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Surrogate: // only ever asked about one that has no partner
        return MarkKind::Code;
    default:
        return QChar::isNonCharacter(char32_t(c)) ? MarkKind::Code : MarkKind::None;
    }
}

Mark markFor(char16_t c)
{
    const MarkKind kind = markKindOf(c);
    if (kind == MarkKind::None)
        return {};
    if (kind == MarkKind::Name)
        return {kind, c == 0x7F ? QStringLiteral("DEL") : QLatin1String(controlNames[c])};
    if (c == 0xA0)
        return {kind, QStringLiteral("NBSP")};
    if (c == 0xAD)
        return {kind, QStringLiteral("SHY")};
    return {kind, hex(c, c < 0x100 ? 2 : 4)};
}

QString spokenText(QString piece)
{
    for (QChar &c : piece)
        c = QChar(spokenAs(c.unicode()));
    return piece;
}

int lineEndAt(const WireDocument &text, qsizetype position)
{
    if (position < 0 || position >= text.size())
        return 0;
    const char16_t next = position + 1 < text.size() ? text.at(position + 1) : u'\0';
    return lineEndLength(text.at(position), next);
}

bool isBoundary(const WireDocument &text, qsizetype position)
{
    if (position <= 0 || position >= text.size())
        return true;
    const char16_t before = text.at(position - 1);
    if (lineEndLength(before, text.at(position)) == 2)
        return false;
    return !(QChar::isHighSurrogate(before) && QChar::isLowSurrogate(text.at(position)));
}

qsizetype snapBack(const WireDocument &text, qsizetype position)
{
    position = qBound<qsizetype>(0, position, text.size());
    return isBoundary(text, position) ? position : position - 1;
}

qsizetype nextBoundary(const WireDocument &text, qsizetype position)
{
    if (position >= text.size())
        return text.size();
    return isBoundary(text, position + 1) ? position + 1 : position + 2;
}

qsizetype previousBoundary(const WireDocument &text, qsizetype position)
{
    if (position <= 0)
        return 0;
    return isBoundary(text, position - 1) ? position - 1 : position - 2;
}

bool isStop(const WireDocument &text, qsizetype position)
{
    if (!text.caretBetweenCrLf())
        return isBoundary(text, position);
    return position <= 0 || position >= text.size() ||
           !(QChar::isHighSurrogate(text.at(position - 1)) &&
             QChar::isLowSurrogate(text.at(position)));
}

qsizetype snapToStop(const WireDocument &text, qsizetype position)
{
    position = qBound<qsizetype>(0, position, text.size());
    return isStop(text, position) ? position : position - 1;
}

qsizetype nextStop(const WireDocument &text, qsizetype position)
{
    if (position >= text.size())
        return text.size();
    return isStop(text, position + 1) ? position + 1 : position + 2;
}

qsizetype previousStop(const WireDocument &text, qsizetype position)
{
    if (position <= 0)
        return 0;
    return isStop(text, position - 1) ? position - 1 : position - 2;
}

bool isLineStart(const WireDocument &text, qsizetype position)
{
    // The CR of a pair ends nothing on its own: the LF after it does.
    return position <= 0 || lineEndLength(text.at(position - 1),
                                          position < text.size() ? text.at(position) : u'\0') == 1;
}

qsizetype lineStart(const WireDocument &text, qsizetype position)
{
    LineSearch search(text, position);
    search.searchBack(text.size());
    return search.line().from;
}

qsizetype lineEndAfter(const WireDocument &text, qsizetype position)
{
    LineSearch search(text, position);
    search.searchAhead(text.size());
    return search.line().to;
}

LineSearch::LineSearch(const WireDocument &text, qsizetype position)
    : m_text(text), m_back(qMax<qsizetype>(0, position)), m_ahead(m_back)
{
}

bool LineSearch::searchBack(qsizetype characters)
{
    // Just after the last CR or LF before the position that ends a line: the
    // CR of a pair whose LF stands at the position ends none.
    const qsizetype limit = qMax<qsizetype>(0, m_back - characters);
    while (m_from < 0 && m_back > limit) {
        const qsizetype at = m_text.lastLineBreak(limit, m_back);
        if (at >= 0 && isLineStart(m_text, at + 1))
            m_from = at + 1;
        m_back = at >= 0 ? at : limit;
    }
    if (m_back == 0 && m_from < 0)
        m_from = 0;
    return m_from >= 0;
}

bool LineSearch::searchAhead(qsizetype characters)
{
    const qsizetype size = m_text.size();
    if (m_to < 0 && m_ahead < size) {
        const qsizetype limit = qMin(size, m_ahead + qMin(characters, size));
        const qsizetype at = m_text.firstLineBreak(m_ahead, limit);
        m_ahead = at >= 0 ? at : limit;
        if (at >= 0)
            m_to = at + lineEndAt(m_text, at);
    }
    if (m_to < 0 && m_ahead >= size)
        m_to = size;
    return m_to >= 0;
}

bool LineSearch::advance(qsizetype characters)
{
    const bool back = searchBack(characters);
    return searchAhead(characters) && back;
}

qsizetype beforeLineEnd(const WireDocument &text, qsizetype from, qsizetype to)
{
    if (to <= from || (text.at(to - 1) != u'\n' && text.at(to - 1) != u'\r'))
        return to;
    return qMax(from, previousBoundary(text, to));
}

Span wordAt(const WireDocument &text, qsizetype position)
{
    if (text.size() == 0)
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

Span lineAt(const WireDocument &text, qsizetype position)
{
    return {lineStart(text, position), lineEndAfter(text, position)};
}

qsizetype nextWordStart(const WireDocument &text, qsizetype position)
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

qsizetype previousWordStart(const WireDocument &text, qsizetype position)
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

void PlaceCounter::add(QStringView piece, qsizetype count)
{
    if (count < 0 || count > piece.size())
        count = piece.size();
    for (qsizetype i = 0; i < count; ++i) {
        const char16_t c = piece[i].unicode();
        const bool secondOfPair =
            (m_afterCr && c == u'\n') || (m_afterHigh && QChar::isLowSurrogate(c));
        m_afterCr = c == u'\r';
        m_afterHigh = QChar::isHighSurrogate(c) && !secondOfPair;
        if (secondOfPair)
            continue;
        // Whether a CR pairs is known only at the next character; either way
        // it ends the line here.
        if (lineEndLength(c, u'\0')) {
            ++m_place.line;
            m_place.column = 1;
        } else {
            ++m_place.column;
        }
    }
}

} // namespace TextRules
