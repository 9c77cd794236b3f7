// The rows on screen: laying them out, scrolling, where each character is
// drawn, and painting.
#include "WireTextEdit.h"

#include "StatusColours.h"
#include "TextRules.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

// Space between the frame and the text, in pixels.
constexpr int margin = 4;
// While a peer floods, what arrived is shown at most this often.
constexpr int showMs = 30;

int toPixels(int units)
{
    return units / WireMetrics::unitsPerPixel;
}

} // namespace

void WireTextEdit::relayout()
{
    const qsizetype top = m_layout.rowCount() > 0
                              ? m_layout.rowStart(qMin<qsizetype>(verticalScrollBar()->value(),
                                                                  m_layout.rowCount() - 1))
                              : 0;
    m_layout.setGeometry(m_metrics.get(), wrapWidth());
    m_layout.relayoutInSlices(m_document);
    if (!m_layout.isComplete())
        m_layoutTimer.start(0, this);
    updateScrollRange();
    verticalScrollBar()->setValue(int(m_layout.rowAt(top)));
    viewport()->update();
}

void WireTextEdit::layOutSlice()
{
    if (m_layout.layOutMore(m_document, m_layout.slice()))
        m_layoutTimer.stop();
    showChanges();
    if (m_visibleLater >= 0 && m_layout.isLaidOut(m_visibleLater))
        ensureVisible(std::exchange(m_visibleLater, -1));
}

int WireTextEdit::fullRows() const
{
    return qMax(1, (viewport()->height() - margin) / m_metrics->rowHeight());
}

int WireTextEdit::wrapWidth() const
{
    // Room for the caret after the last character of a full row.
    return WireMetrics::toUnits(qMax(1, viewport()->width() - 2 * margin - 1));
}

void WireTextEdit::updateScrollRange()
{
    QScrollBar *bar = verticalScrollBar();
    const int rows = fullRows();
    const qsizetype shown = m_hex ? m_hexRows.rowCount() : m_layout.knownRows();
    bar->setRange(0, int(qMax<qsizetype>(0, shown - rows)));
    bar->setPageStep(rows);
    bar->setSingleStep(1);
}

QPoint WireTextEdit::rowOrigin(qsizetype row) const
{
    return {margin, margin + int(row - verticalScrollBar()->value()) * m_metrics->rowHeight()};
}

int WireTextEdit::xOf(qsizetype row, qsizetype position) const
{
    return margin + toPixels(m_layout.walk(m_document, m_layout.rowStart(row), position));
}

qsizetype WireTextEdit::caretRow() const
{
    return CaretMoves::caretRow(m_layout, {m_document.position(), m_caretAtRowEnd, m_wantedX});
}

QRect WireTextEdit::caretRect() const
{
    if (m_hex) {
        const QRect cell = hexCellRect(m_document.position(), false);
        return {cell.topLeft(), QSize(1, cell.height())};
    }
    const qsizetype row = caretRow();
    if (row >= m_layout.knownRows())
        return {}; // not laid out yet
    return {xOf(row, m_document.position()), rowOrigin(row).y(), 1, m_metrics->rowHeight()};
}

QRect WireTextEdit::characterRect(qsizetype position)
{
    position = qBound<qsizetype>(0, position, m_document.size());
    if (m_hex)
        return hexCellRect(position, false);
    const qsizetype next = TextRules::nextBoundary(m_document, position);
    m_layout.layOutThrough(m_document, next);
    const qsizetype row = m_layout.rowAt(position);
    const int x = xOf(row, position);
    const int end = position < m_document.size() ? xOf(row, next) : x;
    return {x, rowOrigin(row).y(), qMax(1, end - x), m_metrics->rowHeight()};
}

qsizetype WireTextEdit::rowAtY(int y) const
{
    const qsizetype offset = y < margin ? -1 : (y - margin) / m_metrics->rowHeight();
    return qBound<qsizetype>(0, verticalScrollBar()->value() + offset,
                             qMax<qsizetype>(1, m_layout.knownRows()) - 1);
}

qsizetype WireTextEdit::positionAt(const QPoint &point, bool *atRowEnd)
{
    if (m_hex) {
        if (atRowEnd)
            *atRowEnd = false;
        return hexPositionAt(point, true);
    }
    // Only rows that are laid out are on screen.
    m_layout.layOutThrough(m_document, 0);
    return m_layout.positionInRow(m_document, rowAtY(point.y()),
                                  WireMetrics::toUnits(point.x() - margin), atRowEnd);
}

qsizetype WireTextEdit::characterAt(const QPoint &point)
{
    if (m_hex)
        return hexPositionAt(point, false);
    const qsizetype position = positionAt(point);
    if (position >= m_document.size())
        return m_document.isEmpty() ? 0 : TextRules::previousBoundary(m_document, position);
    // positionAt() rounds to the nearer edge; the character under the point
    // is the one that holds it.
    const QRect rect = characterRect(position);
    const qsizetype before = TextRules::previousBoundary(m_document, position);
    if (point.x() < rect.left() && position > 0 &&
        m_layout.rowAt(before) == m_layout.rowAt(position))
        return before;
    return position;
}

void WireTextEdit::ensureVisible(qsizetype position)
{
    // A row not laid out yet is scrolled to once it is.
    m_visibleLater = m_hex || m_layout.isLaidOut(position) ? -1 : position;
    if (m_visibleLater >= 0)
        return;
    updateScrollRange();
    qsizetype row = m_hex ? m_hexRows.rowAt(position) : m_layout.rowAt(position);
    if (position == m_document.position() && !m_hex)
        row = caretRow();
    QScrollBar *bar = verticalScrollBar();
    if (row < bar->value())
        bar->setValue(int(row));
    else if (row >= bar->value() + fullRows())
        bar->setValue(int(row - fullRows() + 1));
}

void WireTextEdit::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (wrapWidth() != m_layout.width() && !m_hex)
        relayout();
    else
        updateScrollRange();
}

void WireTextEdit::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_metrics = std::make_unique<WireMetrics>(font());
        m_painter.forgetMarks();
        relayout();
    }
}

void WireTextEdit::scrollContentsBy(int, int)
{
    viewport()->update();
    updateMicroFocus();
}

void WireTextEdit::showChanges()
{
    if (!m_sinceShown.isValid() || m_sinceShown.elapsed() >= showMs)
        showNow();
    else if (!m_showTimer.isActive())
        m_showTimer.start(int(showMs - m_sinceShown.elapsed()), this);
}

void WireTextEdit::showNow()
{
    m_showTimer.stop();
    m_sinceShown.start();
    // The view follows what a peer appends only when it was at the end already.
    QScrollBar *bar = verticalScrollBar();
    const bool followEnd = m_appendedSinceShown && bar->value() == bar->maximum();
    m_appendedSinceShown = false;
    updateScrollRange();
    if (followEnd)
        bar->setValue(bar->maximum());
    viewport()->update();
}

QColor WireTextEdit::statusTint() const
{
    const QPalette::ColorGroup group = colourGroup();
    return StatusColours::tint(palette().color(group, QPalette::Base),
                               palette().color(group, QPalette::Text));
}

QColor WireTextEdit::statusMark() const
{
    const QPalette::ColorGroup group = colourGroup();
    return StatusColours::mark(palette().color(group, QPalette::Base),
                               palette().color(group, QPalette::Text));
}

QPalette::ColorGroup WireTextEdit::colourGroup() const
{
    if (!isEnabled())
        return QPalette::Disabled;
    return hasFocus() ? QPalette::Active : QPalette::Inactive;
}

void WireTextEdit::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.setLayoutDirection(Qt::LeftToRight);
    const int rowHeight = m_metrics->rowHeight();
    const qsizetype first = verticalScrollBar()->value();
    const int clipTop = event->rect().top();
    const int clipBottom = event->rect().bottom();
    const QPalette::ColorGroup group = colourGroup();
    const QPalette &palette = this->palette();
    if (m_hex) {
        paintHex(painter, event->rect());
        return;
    }
    const RowPainter::Colours colours{
        palette.color(group, QPalette::Text), palette.color(group, QPalette::Base),
        palette.color(group, QPalette::Highlight), palette.color(group, QPalette::HighlightedText)};
    for (qsizetype row = first + qMax(0, (clipTop - margin) / rowHeight);
         row < m_layout.knownRows(); ++row) {
        const QPoint origin = rowOrigin(row);
        if (origin.y() > clipBottom)
            break;
        m_painter.paintRow(painter, m_document, m_layout, *m_metrics, row, origin, colours);
    }

    if (!m_preedit.isEmpty()) {
        const QRect caret = caretRect();
        painter.setFont(font());
        const QRect area(caret.topLeft(),
                         QSize(QFontMetrics(font()).horizontalAdvance(m_preedit), rowHeight));
        painter.fillRect(area, palette.brush(group, QPalette::Base));
        painter.setPen(colours.text);
        painter.drawText(QPointF(area.left(), area.top() + m_metrics->baseline()), m_preedit);
        painter.drawLine(area.bottomLeft(), area.bottomRight());
    }
    if (hasFocus() && m_caretShown && m_preedit.isEmpty())
        painter.fillRect(caretRect(), palette.brush(group, QPalette::Text));
    if (m_dropPosition >= 0) {
        const QRect at = characterRect(m_dropPosition);
        painter.fillRect(QRect(at.topLeft(), QSize(1, at.height())),
                         palette.brush(group, QPalette::Text));
    }
}
