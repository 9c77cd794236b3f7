#pragma once

#include <QChar>
#include <QString>
#include <QStringView>

// How exact text is shown in a WireTextEdit, and read back from what is shown.
// The shown text has one character for each character of the exact text, except
// for line ends: CR LF becomes a line break, a lone CR or LF its symbol and a
// line break, and a line too long to lay out quickly is split by a marker that
// stands for nothing.
namespace WireText {

// Lines longer than this are shown as several blocks so that appending to a
// very long line never re-lays out more than one block of this size.
inline constexpr int maxBlockLength = 4096;

inline constexpr char16_t crSymbol = u'\u240D';
inline constexpr char16_t lfSymbol = u'\u240A';
inline constexpr char16_t splitMarker = u'\u2060';

// The character shown for an exact character that is not a line end.
inline QChar shown(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20 && u != u'\t')
        return QChar(char16_t(0x2400 + u));
    if (u == 0x7F)
        return QChar(char16_t(0x2421));
    return c;
}

// The exact text a shown character stands for: its control character, nothing
// for a split marker, or itself.
inline void appendExact(QString &out, QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 0x2400 && u < 0x2420)
        out += QChar(char16_t(u - 0x2400));
    else if (u == 0x2421)
        out += QChar(char16_t(0x7F));
    else if (u != splitMarker)
        out += c;
}

// Whether a shown line ending in `last` carries its own line end (a lone CR
// or LF) or none (a split), rather than standing for a CR LF.
inline bool endsWithoutCrLf(QChar last)
{
    const char16_t u = last.unicode();
    return u == crSymbol || u == lfSymbol || u == splitMarker;
}

} // namespace WireText
