#include "TextView.h"

#include "TextRules.h"
#include "WireDocument.h"
#include "WireMetrics.h"

#include <QPainter>

TextView::TextView(const WireDocument &text, const WireMetrics &metrics)
    : m_text(text), m_metrics(metrics)
{
}

void TextView::layOut(int width)
{
    m_rows.setGeometry(&m_metrics, width);
    m_rows.relayoutInSlices(m_text);
}

void TextView::followChange(qsizetype from, qsizetype removed, qsizetype added)
{
    m_rows.followChange(m_text, from, removed, added);
}

bool TextView::layOutMore()
{
    return m_rows.layOutMore(m_text, m_rows.slice());
}

void TextView::layOutThrough(qsizetype position)
{
    m_rows.layOutThrough(m_text, position);
}

qsizetype TextView::rowEnd(qsizetype row) const
{
    return m_rows.rowEnd(row, m_text.size());
}

qsizetype TextView::caretRow(const CaretMoves::Caret &caret) const
{
    return CaretMoves::caretRow(m_rows, caret);
}

int TextView::xOf(qsizetype row, qsizetype position) const
{
    return m_rows.walk(m_text, m_rows.rowStart(row), position) / WireMetrics::unitsPerPixel;
}

CaretMoves::Caret TextView::caretAt(qsizetype row, int x) const
{
    CaretMoves::Caret caret;
    caret.position = m_rows.positionInRow(m_text, row, WireMetrics::toUnits(x), &caret.atRowEnd);
    return caret;
}

qsizetype TextView::characterAt(qsizetype row, int x)
{
    const qsizetype position = m_rows.positionInRow(m_text, row, WireMetrics::toUnits(x));
    if (position >= m_text.size())
        return m_text.isEmpty() ? 0 : TextRules::previousBoundary(m_text, position);
    // positionInRow() rounds to the nearer edge; the character under the point
    // is the one that holds it.
    const Place place = characterPlace(position);
    const qsizetype before = TextRules::previousBoundary(m_text, position);
    if (x < place.left && position > 0 && m_rows.rowAt(before) == m_rows.rowAt(position))
        return before;
    return position;
}

RowView::Place TextView::characterPlace(qsizetype position)
{
    const qsizetype next = TextRules::nextBoundary(m_text, position);
    m_rows.layOutThrough(m_text, next);
    const qsizetype row = m_rows.rowAt(position);
    const int x = xOf(row, position);
    return {row, x, position < m_text.size() ? xOf(row, next) : x};
}

RowView::Place TextView::caretPlace(const CaretMoves::Caret &caret) const
{
    const qsizetype row = caretRow(caret);
    const int x = xOf(row, caret.position);
    return {row, x, x + 1};
}

CaretMoves::Caret TextView::target(CaretMoves::Move move, const CaretMoves::Caret &caret,
                                   bool select, qsizetype pageRows)
{
    return CaretMoves::target(m_text, m_rows, move, caret, select, pageRows);
}

void TextView::paintRow(QPainter &painter, qsizetype row, const QPoint &origin,
                        const Colours &colours) const
{
    m_painter.paintRow(painter, m_text, m_rows, m_metrics, row, origin, colours);
}

void TextView::paintCaret(QPainter &painter, const CaretMoves::Caret &caret, const QPoint &origin,
                          const QColor &colour) const
{
    const Place place = caretPlace(caret);
    painter.fillRect(QRect(origin.x() + place.left, origin.y(), 1, m_metrics.rowHeight()), colour);
}
