#pragma once

#include <QColor>

class QPainter;

// A horizontal line drawn straight onto its window, given by its two end
// points in twips, like the classic line control. Moving it means changing
// the vertical coordinates of both ends.
struct SeparatorLine
{
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    QColor colour = Qt::black;
    int width = 1; // pixels

    // Fills the pixel rows from y1 down, `width` of them, from x1 to just
    // before x2. A later line drawn on the same row covers an earlier one.
    void paint(QPainter &painter) const;
};
