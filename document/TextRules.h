#pragma once

#include <QString>
#include <QStringView>

class WireDocument;

// How exact text is read: what each character shows as, where the caret can
// stand, what a word and a line are. Everything a view shows is derived from
// the characters alone: a character never takes its meaning from what is
// drawn next to it.
namespace TextRules {

// Lines end at CR LF, a lone CR and a lone LF. The length of the line end
// starting with `c`, followed by `next` (any character but LF when `c` is the
// last): 2 for CR LF, 1 for a lone CR or LF, 0 for no line end. Every other
// rule that needs to tell CR LF from a lone CR asks this one.
constexpr int lineEndLength(char16_t c, char16_t next)
{
    return c == u'\r' ? (next == u'\n' ? 2 : 1) : (c == u'\n' ? 1 : 0);
}

// How a character that would otherwise be invisible, or look like another,
// is shown: as a small label naming it.
enum class MarkKind {
    None, // drawn as itself
    Name, // a control character: its name, inverted (NUL, ESC, CR, ...)
    Code, // anything else that draws as nothing: its name or hex value, framed
};

struct Mark
{
    MarkKind kind = MarkKind::None;
    QString label;
};

// The mark a character shows as. TAB stays a tab; CR and LF show their marks
// only as a lone line end (the two characters of a CR LF are a plain break).
Mark markFor(char16_t c);
MarkKind markKindOf(char16_t c);

// A control character's picture: each C0 control becomes U+2400-U+241F,
// DEL U+2421; everything else stays itself.
constexpr char16_t controlPicture(char16_t c)
{
    return c < 0x20 ? char16_t(0x2400 + c) : c == 0x7F ? char16_t(0x2421) : c;
}

// What a character is called for a reader that cannot hear controls: its
// control picture, but TAB, CR and LF stay themselves.
constexpr char16_t spokenAs(char16_t c)
{
    return c == u'\t' || c == u'\r' || c == u'\n' ? c : controlPicture(c);
}
// The same for every character of a piece, one for one.
QString spokenText(QString piece);

// Whether a row may break after this character when a line wraps.
inline bool isBreakAfter(char16_t c)
{
    return c == u' ' || c == u'\t';
}

// Positions where the caret can stand: never between the CR and LF of a pair
// or between the halves of a surrogate pair.
bool isBoundary(const WireDocument &text, qsizetype position);
// The boundary at or before `position`.
qsizetype snapBack(const WireDocument &text, qsizetype position);
// One character further or back; a CR LF pair and a surrogate pair count as one.
qsizetype nextBoundary(const WireDocument &text, qsizetype position);
qsizetype previousBoundary(const WireDocument &text, qsizetype position);
// The length of the line end at `position` (lineEndLength), 0 past the end.
int lineEndAt(const WireDocument &text, qsizetype position);

// Where the caret and the selection's ends stand (stops): at boundaries, but
// while the document is shown as a dump (WireDocument::caretBetweenCrLf), the
// CR and the LF of a pair are cells of their own, and the caret can stand
// between them too.
bool isStop(const WireDocument &text, qsizetype position);
// The stop at or before `position`, and the stops one character on and back.
qsizetype snapToStop(const WireDocument &text, qsizetype position);
qsizetype nextStop(const WireDocument &text, qsizetype position);
qsizetype previousStop(const WireDocument &text, qsizetype position);

// Whether a line starts at `position`: the start of the text, or just after
// a line end.
bool isLineStart(const WireDocument &text, qsizetype position);
// The line around `position`, from just after the previous line end to just
// after its own (the end of the text when it has none).
qsizetype lineStart(const WireDocument &text, qsizetype position);
qsizetype lineEndAfter(const WireDocument &text, qsizetype position);
// The end of [from, to) less the line end it ends with, if it has one.
qsizetype beforeLineEnd(const WireDocument &text, qsizetype from, qsizetype to);

// Word selection and moves: a word is a run of letters, digits and
// underscores; a run of spaces or of other visible characters counts as one
// word of its own; a line end or a marked character stands alone. `position`
// is that of the character the word is wanted around.
struct Span
{
    qsizetype from = 0;
    qsizetype to = 0;
};
Span wordAt(const WireDocument &text, qsizetype position);
// The whole line around `position`, to and with its line end.
Span lineAt(const WireDocument &text, qsizetype position);

// Finds the line around a position a stretch at a time: a line can be a
// gigabyte long, and a window that searches one handles events between
// stretches. Appends to the text while it searches change nothing found.
class LineSearch
{
public:
    LineSearch(const WireDocument &text, qsizetype position);
    // Searches up to `characters` further back, or ahead; returns whether
    // that end is found.
    bool searchBack(qsizetype characters);
    bool searchAhead(qsizetype characters);
    // Both ways; returns whether both ends are found.
    bool advance(qsizetype characters);
    // The line, to and with its line end, once both ends are found.
    Span line() const { return {m_from, m_to}; }
    // How many characters have been searched.
    qsizetype searched() const { return m_ahead - m_back; }

private:
    const WireDocument &m_text;
    // Searched so far: [m_back, m_ahead); the line's ends, -1 until found.
    qsizetype m_back;
    qsizetype m_ahead;
    qsizetype m_from = -1;
    qsizetype m_to = -1;
};
qsizetype nextWordStart(const WireDocument &text, qsizetype position);
qsizetype previousWordStart(const WireDocument &text, qsizetype position);

// A place in text the way a user counts it: line and column, both from 1; a
// surrogate pair is one column. Counted piece by piece, so a CR at the end of
// one piece and an LF at the start of the next are one line end.
class PlaceCounter
{
public:
    struct Place
    {
        qsizetype line = 1;
        qsizetype column = 1;
    };
    // Counts the first `count` characters of `piece` (all of it by default).
    void add(QStringView piece, qsizetype count = -1);
    Place place() const { return m_place; }

private:
    Place m_place;
    bool m_afterCr = false;
    bool m_afterHigh = false;
};

} // namespace TextRules
