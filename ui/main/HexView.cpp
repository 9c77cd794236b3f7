#include "HexView.h"

#include "WireDocument.h"
#include "WireMetrics.h"

#include <QPainter>

HexView::HexView(const WireDocument &text, const WireMetrics &metrics)
    : m_text(text), m_metrics(metrics)
{
}

void HexView::layOut(int)
{
    m_layout.setCellWidth(m_metrics.spaceAdvance());
    m_layout.rebuild(m_text);
}

void HexView::followChange(qsizetype from, qsizetype removed, qsizetype added)
{
    m_layout.followChange(m_text, from, removed, added);
}

qsizetype HexView::positionAt(qsizetype row, int x, bool *atRowEnd) const
{
    if (atRowEnd)
        *atRowEnd = false;
    return m_layout.positionAt(row, x * WireMetrics::unitsPerPixel, true);
}

qsizetype HexView::characterAt(qsizetype row, int x)
{
    return m_layout.positionAt(row, x * WireMetrics::unitsPerPixel, false);
}

RowView::Place HexView::placeOf(qsizetype position, HexLayout::Column column) const
{
    const HexLayout::Span span = m_layout.cellSpan(position, column);
    return {rowAt(position), span.left / WireMetrics::unitsPerPixel,
            span.right / WireMetrics::unitsPerPixel};
}

RowView::Place HexView::characterPlace(qsizetype position)
{
    return placeOf(position, HexLayout::Column::Characters);
}

RowView::Place HexView::caretPlace(const CaretMoves::Caret &caret) const
{
    const Place cell = placeOf(caret.position, HexLayout::Column::Characters);
    return {cell.row, cell.left, cell.left + 1};
}

QRect HexView::cellRect(const QPoint &origin, qsizetype position, HexLayout::Column column) const
{
    const Place place = placeOf(position, column);
    return {origin.x() + place.left, origin.y(), qMax(1, place.right - place.left),
            m_metrics.rowHeight()};
}

CaretMoves::Caret HexView::target(CaretMoves::Move move, const CaretMoves::Caret &caret,
                                  bool select, qsizetype pageRows)
{
    return {m_layout.target(m_text, move, caret.position, select, pageRows), false, -1};
}

void HexView::paintRow(QPainter &painter, qsizetype row, const QPoint &origin,
                       const Colours &colours) const
{
    const std::vector<qsizetype> cells = rows().cellsOfRow(m_text, row);
    if (cells.empty() && row > 0)
        return; // the row after a full last row
    painter.setFont(m_metrics.font());
    const qreal baseline = origin.y() + m_metrics.baseline();
    painter.setPen(colours.aside);
    painter.drawText(
        QPointF(origin.x() + m_layout.offsetSpan().left / WireMetrics::unitsPerPixel, baseline),
        HexRows::offsetText(row * HexRows::cellsPerRow));
    const OriginSpans &origins = m_text.origins();
    const bool anyStatus =
        !cells.empty() && origins.holds(cells.front(), rowEnd(row), Origin::Status);
    for (const qsizetype at : cells) {
        const bool selected = at >= m_text.selectionStart() && at < m_text.selectionEnd();
        const QRect byteCell = cellRect(origin, at, HexLayout::Column::Bytes);
        const QRect characterCell = cellRect(origin, at, HexLayout::Column::Characters);
        // The cells of the program's own status lines are tinted.
        if (selected || (anyStatus && origins.spanAt(at).stamp.origin == Origin::Status)) {
            const QColor &fill = selected ? colours.highlight : colours.statusTint;
            painter.fillRect(byteCell, fill);
            painter.fillRect(characterCell, fill);
        }
        painter.setPen(selected ? colours.highlightedText : colours.text);
        painter.drawText(QPointF(byteCell.left(), baseline), HexRows::byteText(m_text, at));
        // Each character in its own cell, whatever its glyph's width.
        painter.save();
        painter.setClipRect(characterCell);
        painter.drawText(QPointF(characterCell.left(), baseline), HexRows::cellText(m_text, at));
        painter.restore();
    }
}

void HexView::paintCaret(QPainter &painter, const CaretMoves::Caret &caret, const QPoint &origin,
                         const QColor &colour) const
{
    // A caret in each column.
    for (const HexLayout::Column column :
         {HexLayout::Column::Bytes, HexLayout::Column::Characters}) {
        const QRect cell = cellRect(origin, caret.position, column);
        painter.fillRect(QRect(cell.topLeft(), QSize(1, cell.height())), colour);
    }
}
