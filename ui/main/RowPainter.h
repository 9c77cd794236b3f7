#pragma once

#include "RowView.h"

#include <QHash>
#include <QPalette>
#include <QPixmap>
#include <QRgb>

class QPainter;
class QPoint;
class RowLayout;
class WireDocument;
class WireMetrics;

// Paints the rows of a document as the text view shows them: runs of plain
// characters together, everything else at its own place, marks for what
// would draw as nothing, and the selection behind them. Marks, once drawn,
// are kept by character for the colours and pixel ratio they were drawn for.
class RowPainter
{
public:
    void paintRow(QPainter &painter, const WireDocument &text, const RowLayout &rows,
                  const WireMetrics &metrics, qsizetype row, const QPoint &origin,
                  const RowView::Colours &colours) const;

    // Draws the mark of `c` (TextRules::markFor) with its top-left corner at
    // (x, top).
    void drawMark(QPainter &painter, const WireMetrics &metrics, qreal x, qreal top, char16_t c,
                  const QColor &text, const QColor &base) const;
    // The font changed: marks are drawn anew.
    void forgetMarks() { m_markImages.clear(); }

private:
    mutable QHash<char16_t, QPixmap> m_markImages;
    mutable QRgb m_markText = 0;
    mutable QRgb m_markBase = 0;
    mutable qreal m_markRatio = 0;
};
