#pragma once

#include <QString>
#include <QStringView>

// Rules for showing and editing exact text in a WireTextEdit. The box keeps
// the text exactly as it came and derives everything it shows from it: a
// character never takes its meaning from what is drawn next to it.
namespace WireText {

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

// Whether a row may break after this character when a line wraps.
inline bool isBreakAfter(char16_t c)
{
    return c == u' ' || c == u'\t';
}

// Positions where the caret can stand: never between the CR and LF of a pair
// or between the halves of a surrogate pair.
bool isBoundary(QStringView text, qsizetype position);
// The boundary at or before `position`.
qsizetype snapBack(QStringView text, qsizetype position);
// One character further or back; a CR LF pair and a surrogate pair count as one.
qsizetype nextBoundary(QStringView text, qsizetype position);
qsizetype previousBoundary(QStringView text, qsizetype position);

// The line around `position`, from just after the previous line end to just
// after its own (the end of the text when it has none).
qsizetype lineStart(QStringView text, qsizetype position);
qsizetype lineEndAfter(QStringView text, qsizetype position);
// The end of [from, to) less the line end it ends with, if it has one.
qsizetype beforeLineEnd(QStringView text, qsizetype from, qsizetype to);

// Word selection and moves: a word is a run of letters, digits and
// underscores; a run of spaces or of other visible characters counts as one
// word of its own; a line end or a marked character stands alone. `position`
// is that of the character the word is wanted around.
struct Span
{
    qsizetype from = 0;
    qsizetype to = 0;
};
Span wordAt(QStringView text, qsizetype position);
qsizetype nextWordStart(QStringView text, qsizetype position);
qsizetype previousWordStart(QStringView text, qsizetype position);

} // namespace WireText
