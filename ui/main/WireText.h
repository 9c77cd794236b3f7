#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

// How exact text is shown in a WireTextEdit, and read back from what is shown.
// Every exact character that is not a line end is shown as one character
// (control characters as their symbols). A line end is shown as a line break:
// CR LF as the break alone, a lone CR or LF as its symbol followed by the break.
// Lines are kept as line separators inside blocks of a few thousand characters,
// so that the document holds few blocks however many lines arrive; a block is
// closed at a line end once it is long enough, or by a split marker that stands
// for nothing when a single line runs on.
namespace WireText {

// A block closes at the first line end past this length ...
inline constexpr int preferredBlockLength = 2048;
// ... and is split mid-line at this one, so that appending to a very long line
// never re-lays out more than one block of this size.
inline constexpr int maxBlockLength = 4096;

// While a peer floods, appended pieces are gathered this long before they
// are shown, so that laying out and painting never set the pace.
inline constexpr int gatherMs = 30;
inline constexpr qsizetype maxGatherChars = 1024 * 1024;

inline constexpr char16_t crSymbol = u'\u240D';
inline constexpr char16_t lfSymbol = u'\u240A';
inline constexpr char16_t splitMarker = u'\u2060';
inline constexpr char16_t lineSeparator = u'\u2028';

// A soft hyphen (byte 0xAD) is drawn as nothing at all; it shows as a hyphen.
inline constexpr char16_t softHyphen = u'\u00AD';
inline constexpr char16_t softHyphenShown = u'\u2010';

// Characters the box uses to show something else. When the user types or
// pastes one of them, it is kept as a literal (marked in its format) so that it
// stays itself.
inline bool isShownForm(char16_t u)
{
    return (u >= 0x2400 && u < 0x2420) || u == 0x2421 || u == softHyphenShown || u == splitMarker ||
           u == lineSeparator;
}

// The character shown for an exact character that is not a line end.
inline char16_t shown(char16_t u)
{
    if (u < 0x20 && u != u'\t')
        return char16_t(0x2400 + u);
    if (u == 0x7F)
        return char16_t(0x2421);
    if (u == softHyphen)
        return softHyphenShown;
    return u;
}

// The exact character a shown character stands for, or 0 for none (a split
// marker or a line break, which stand for what precedes them).
inline char16_t exact(char16_t u)
{
    if (u >= 0x2400 && u < 0x2420)
        return char16_t(u - 0x2400);
    if (u == 0x2421)
        return 0x7F;
    if (u == softHyphenShown)
        return softHyphen;
    return u;
}

// Whether a line break after `previous` stands for nothing (it follows a lone
// CR's or LF's symbol, or a split marker) rather than for CR LF.
inline bool breakStandsAlone(char16_t previous)
{
    return previous == crSymbol || previous == lfSymbol || previous == splitMarker;
}

// The shown form of `exact`, appended at a point where the current block
// already holds `column` characters. Block breaks are written as '\n', line
// separators inside a block as U+2028.
QString toShown(QStringView exact, int column);

// Writes the exact text of `shown`, a stretch of one block's text, at `out`
// (room for two characters per shown one) and returns the end of what it
// wrote. `previous` is the shown character before the stretch (0 at the start
// of a block).
char16_t *writeExact(char16_t *out, QStringView shown, char16_t previous);

} // namespace WireText
