// The rows on screen: the view shown, scrolling, the frame the view's rows
// stand in, and painting.
#include "WireTextEdit.h"

#include "StatusColours.h"
#include "TextRules.h"
#include "TimeTexts.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimeZone>
#include <QToolTip>

namespace {

// Space between the frame and the rows, in pixels, on every side.
constexpr int margin = 4;
// While a peer floods, what arrived is shown at most this often.
constexpr int showMs = 30;

} // namespace

void WireTextEdit::setHexShown(bool shown)
{
    if (shown == isHexShown())
        return;
    m_view->dropPendingDigit();
    // Leaving the dump, an end between a CR and its LF moves to after the LF.
    m_document.setCaretBetweenCrLf(shown);
    m_view = shown ? static_cast<RowView *>(&m_hexView) : &m_textView;
    // Typing in the dump starts in the byte column.
    m_caret.column = CaretMoves::Column::Bytes;
    // A composition belongs to the view it was begun in.
    m_preedit.clear();
    // The view shown now was left alone while the other was.
    relayout();
    setAcceptDrops(isEditable());
    viewport()->setAcceptDrops(isEditable());
    verticalScrollBar()->setValue(0);
    ensureVisible(m_document.position());
}

void WireTextEdit::setTimesShown(bool shown)
{
    if (shown == m_timesShown)
        return;
    m_timesShown = shown;
    updateTimeGutter();
    relayout();
}

void WireTextEdit::updateTimeGutter()
{
    // A time, and twice the margin after it: a status line's mark, in the
    // margin just left of the text, stays apart from the time and with the
    // text it marks.
    m_timeGutter =
        m_timesShown
            ? QFontMetrics(m_metrics.font()).horizontalAdvance(TimeTexts::clockTime(0, {})) +
                  2 * margin
            : 0;
}

std::optional<qint64> WireTextEdit::rowTime(qsizetype row) const
{
    const qsizetype start = m_view->rowStart(row);
    // A line's later rows in the text have none.
    if (start >= m_document.size() || (!isHexShown() && !TextRules::isLineStart(m_document, start)))
        return std::nullopt;
    const OriginStamp stamp = m_document.origins().spanAt(start).stamp;
    if (stamp.origin == Origin::Typed)
        return std::nullopt;
    return stamp.time;
}

QPair<qsizetype, qsizetype> WireTextEdit::shownRow(qsizetype position)
{
    position = qBound<qsizetype>(0, position, m_document.size());
    m_view->layOutThrough(position);
    const qsizetype row = m_view->rowAt(position);
    return {m_view->rowStart(row), m_view->rowEnd(row)};
}

void WireTextEdit::relayout()
{
    const qsizetype rows = m_view->rowCount();
    const qsizetype top =
        rows > 0 ? m_view->rowStart(qMin<qsizetype>(verticalScrollBar()->value(), rows - 1)) : 0;
    m_view->layOut(wrapWidth());
    if (!m_view->isComplete())
        m_layoutTimer.start(0, this);
    updateScrollRange();
    verticalScrollBar()->setValue(int(m_view->rowAt(top)));
    viewport()->update();
}

void WireTextEdit::layOutSlice()
{
    if (m_view->layOutMore())
        m_layoutTimer.stop();
    showChanges();
    if (m_visibleLater >= 0 && m_view->isLaidOut(m_visibleLater))
        ensureVisible(std::exchange(m_visibleLater, -1));
}

int WireTextEdit::fullRows() const
{
    return qMax(1, (viewport()->height() - margin) / m_metrics.rowHeight());
}

int WireTextEdit::rowLeft() const
{
    return margin + m_timeGutter;
}

int WireTextEdit::wrapWidth() const
{
    // Room for the caret after the last character of a full row.
    return WireMetrics::toUnits(qMax(1, viewport()->width() - rowLeft() - margin - 1));
}

void WireTextEdit::updateScrollRange()
{
    QScrollBar *bar = verticalScrollBar();
    const int rows = fullRows();
    bar->setRange(0, int(qMax<qsizetype>(0, m_view->rowCount() - rows)));
    bar->setPageStep(rows);
    bar->setSingleStep(1);
}

QPoint WireTextEdit::rowOrigin(qsizetype row) const
{
    return {rowLeft(), margin + int(row - verticalScrollBar()->value()) * m_metrics.rowHeight()};
}

qsizetype WireTextEdit::rowAtY(int y) const
{
    const qsizetype offset = y < margin ? -1 : (y - margin) / m_metrics.rowHeight();
    return qBound<qsizetype>(0, verticalScrollBar()->value() + offset,
                             qMax<qsizetype>(1, m_view->rowCount()) - 1);
}

QRect WireTextEdit::rectOf(const RowView::Place &place) const
{
    const QPoint origin = rowOrigin(place.row);
    return {origin.x() + place.left, origin.y(), qMax(1, place.right - place.left),
            m_metrics.rowHeight()};
}

QRect WireTextEdit::caretRect() const
{
    if (caretRow() >= m_view->rowCount())
        return {}; // not laid out yet
    return rectOf(m_view->caretPlace(m_caret));
}

QRect WireTextEdit::characterRect(qsizetype position)
{
    return rectOf(m_view->characterPlace(qBound<qsizetype>(0, position, m_document.size())));
}

CaretMoves::Caret WireTextEdit::caretAt(const QPoint &point)
{
    // Only rows that are laid out are on screen.
    m_view->layOutThrough(0);
    return m_view->caretAt(rowAtY(point.y()), point.x() - rowLeft());
}

qsizetype WireTextEdit::characterAt(const QPoint &point)
{
    m_view->layOutThrough(0);
    return m_view->characterAt(rowAtY(point.y()), point.x() - rowLeft());
}

qsizetype WireTextEdit::characterUnder(const QPoint &point, QRect *cell)
{
    const qsizetype position = characterAt(point);
    if (position >= m_document.size())
        return -1;
    *cell = characterRect(position);
    if (isHexShown() && !cell->contains(point))
        *cell = rectOf(m_hexView.bytePlace(position));
    return cell->contains(point) ? position : -1;
}

bool WireTextEdit::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && m_timesShown) {
        showTimeTip(static_cast<QHelpEvent *>(event));
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void WireTextEdit::showTimeTip(const QHelpEvent *event)
{
    QRect cell;
    const qsizetype position = characterUnder(event->pos(), &cell);
    const QString tip = position < 0 ? QString()
                                     : TimeTexts::originTip(m_document.origins(), position,
                                                            QTimeZone::systemTimeZone());
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), tip, viewport(), cell);
}

void WireTextEdit::ensureVisible(qsizetype position)
{
    // A row not laid out yet is scrolled to once it is.
    m_visibleLater = m_view->isLaidOut(position) ? -1 : position;
    if (m_visibleLater >= 0)
        return;
    updateScrollRange();
    const qsizetype row = position == m_document.position() ? caretRow() : m_view->rowAt(position);
    QScrollBar *bar = verticalScrollBar();
    if (row < bar->value())
        bar->setValue(int(row));
    else if (row >= bar->value() + fullRows())
        bar->setValue(int(row - fullRows() + 1));
}

void WireTextEdit::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (!m_view->suitsWidth(wrapWidth()))
        relayout();
    else
        updateScrollRange();
}

void WireTextEdit::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_metrics = WireMetrics(font());
        m_textView.forgetMarks();
        updateTimeGutter();
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
    const int rowHeight = m_metrics.rowHeight();
    const qsizetype first = verticalScrollBar()->value();
    const int clipTop = event->rect().top();
    const int clipBottom = event->rect().bottom();
    const QPalette::ColorGroup group = colourGroup();
    const QPalette &palette = this->palette();
    const RowView::Colours colours{palette.color(group, QPalette::Text),
                                   palette.color(group, QPalette::Base),
                                   palette.color(group, QPalette::Highlight),
                                   palette.color(group, QPalette::HighlightedText),
                                   palette.color(group, QPalette::PlaceholderText),
                                   statusTint()};
    const QColor mark = statusMark();
    const QTimeZone zone = m_timesShown ? QTimeZone::systemTimeZone() : QTimeZone();
    for (qsizetype row = first + qMax(0, (clipTop - margin) / rowHeight); row < m_view->rowCount();
         ++row) {
        const QPoint origin = rowOrigin(row);
        if (origin.y() > clipBottom)
            break;
        m_view->paintRow(painter, row, origin, colours);
        if (m_timesShown) {
            if (const std::optional<qint64> time = rowTime(row)) {
                painter.setFont(m_metrics.font());
                painter.setPen(colours.aside);
                painter.drawText(QPointF(margin, origin.y() + m_metrics.baseline()),
                                 TimeTexts::clockTime(*time, zone));
            }
        }
        // Beside each row that holds a status line's characters, in the
        // margin, where nothing a peer sends is ever drawn.
        if (m_document.origins().holds(m_view->rowStart(row), m_view->rowEnd(row), Origin::Status))
            painter.fillRect(QRect(origin.x() - 3, origin.y(), 2, rowHeight), mark);
    }

    if (!m_preedit.isEmpty()) {
        const QRect caret = caretRect();
        painter.setFont(font());
        const QRect area(caret.topLeft(),
                         QSize(QFontMetrics(font()).horizontalAdvance(m_preedit), rowHeight));
        painter.fillRect(area, palette.brush(group, QPalette::Base));
        painter.setPen(colours.text);
        painter.drawText(QPointF(area.left(), area.top() + m_metrics.baseline()), m_preedit);
        painter.drawLine(area.bottomLeft(), area.bottomRight());
    }
    const qsizetype caretRow = this->caretRow();
    if (hasFocus() && m_caretShown && m_preedit.isEmpty() && caretRow < m_view->rowCount())
        m_view->paintCaret(painter, m_caret, rowOrigin(caretRow), colours.text);
    if (m_dropPosition >= 0) {
        const QRect at = characterRect(m_dropPosition);
        painter.fillRect(QRect(at.topLeft(), QSize(1, at.height())),
                         palette.brush(group, QPalette::Text));
    }
}
