#pragma once

#include <QColor>

class QPalette;

// The About dialog lays its labels out in black and its link in pure blue,
// which a dark theme's window colour would swallow. On a light window those
// colours stay; on a dark one (HSL lightness below 128) the labels take the
// palette's text colour and the link a colour chosen to stand out.
namespace LabelColours {

// The WCAG 2 contrast ratio of two opaque colours: 1 (none) to 21.
double contrastRatio(const QColor &a, const QColor &b);

bool isDark(const QColor &window);

// For the labels laid out black.
QColor textColour(const QPalette &palette);

// For the link laid out pure blue. On a dark window: the palette's link
// colour when its contrast with the window is at least 4.5, otherwise that
// colour lightened until it is (or, failing that, the text colour).
QColor linkColour(const QPalette &palette);

} // namespace LabelColours
