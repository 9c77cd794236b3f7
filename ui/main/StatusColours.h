#pragma once

#include <QColor>

// The colours that set the program's own status lines apart from anything a
// peer can send: a tint behind their characters and a mark beside their
// rows. Both are drawn from the box's own palette and stand out from its
// background by at least 3:1 (the contrast asked of graphics that carry
// meaning), whatever the palette, light or dark.
namespace StatusColours {

constexpr double minimumContrast = 3.0;

// The contrast ratio of two colours, from 1 to 21, by their relative
// luminance in sRGB.
double contrast(const QColor &a, const QColor &b);

// `colour` made darker, or lighter on a dark background, just far enough to
// stand out from `base` by minimumContrast; as it is when it does already.
QColor standingOut(const QColor &colour, const QColor &base);

// Behind the characters of a status line: a shade between the background
// and the text, so that the text on it stays legible.
QColor tint(const QColor &base, const QColor &text);
// Beside each row that holds them.
QColor mark(const QColor &base, const QColor &text);

} // namespace StatusColours
