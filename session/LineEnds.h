#pragma once

#include <QStringView>

// Where lines end in text that crosses the wire: at CR LF, at a lone CR and at
// a lone LF. A CR LF pair is one line end; a character outside the Basic
// Multilingual Plane (a surrogate pair) is one character.
namespace LineEnds {

// Length of the line end that starts at `index`: 2 for CR LF, 1 for a lone CR
// or LF, 0 where no line end starts.
inline int lengthAt(QStringView text, qsizetype index)
{
    const char16_t c = text[index].unicode();
    if (c == u'\r')
        return index + 1 < text.size() && text[index + 1] == u'\n' ? 2 : 1;
    return c == u'\n' ? 1 : 0;
}

// A place in text the way a user counts it: line and column, both from 1.
struct Place
{
    qsizetype line = 1;
    qsizetype column = 1;
};

// The place of the character at `index`.
Place placeOf(QStringView text, qsizetype index);

} // namespace LineEnds
