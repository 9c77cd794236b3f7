// Clicks: placing the caret, selecting words and lines, the middle button's
// selection paste, and scrolling while a selection is dragged past an edge.
#include "WireTextEdit.h"

#include "EditCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QScrollBar>

namespace {

// How far a line's ends are searched for each way between events: a few
// milliseconds.
constexpr qsizetype lineSearchSlice = 16 * 1024 * 1024;

// Only a click itself can leave the caret at the end of a row that wraps.
CaretMoves::Caret atRowStart(CaretMoves::Caret caret)
{
    caret.atRowEnd = false;
    return caret;
}

} // namespace

void WireTextEdit::mousePressEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::MiddleButton) {
        QClipboard *clipboard = QApplication::clipboard();
        if (clipboard->supportsSelection() && isEditable()) {
            moveCursor(atRowStart(caretAt(point)), false);
            enter(m_view->pasting(m_caret, clipboard->text(QClipboard::Selection)));
        }
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    if (m_tripleClickTimer.isActive() &&
        (point - m_tripleClickPoint).manhattanLength() < QApplication::startDragDistance()) {
        // A third click selects the line, to and with its line end.
        m_tripleClickTimer.stop();
        selectLineAround(characterAt(point));
        return;
    }
    const CaretMoves::Caret caret = caretAt(point);
    if (!(event->modifiers() & Qt::ShiftModifier) && hasSelection() &&
        caret.position >= selectionStart() && caret.position < selectionEnd()) {
        m_mightDrag = true;
        m_pressPoint = point;
        return;
    }
    moveCursor(caret, event->modifiers() & Qt::ShiftModifier);
    m_selecting = true;
}

void WireTextEdit::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (m_mightDrag) {
        if ((point - m_pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
            m_mightDrag = false;
            startDrag();
        }
        return;
    }
    if (!m_selecting || !(event->buttons() & Qt::LeftButton))
        return;
    moveCursor(atRowStart(caretAt(point)), true);
    if (viewport()->rect().contains(point))
        m_autoScrollTimer.stop();
    else if (!m_autoScrollTimer.isActive())
        m_autoScrollTimer.start(50, this);
}

void WireTextEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_mightDrag) {
        m_mightDrag = false;
        moveCursor(atRowStart(caretAt(event->position().toPoint())), false);
    }
    m_selecting = false;
    m_autoScrollTimer.stop();
    selectionToSelectionClipboard();
}

void WireTextEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint point = event->position().toPoint();
    EditCommands::selectWord(m_document, characterAt(point));
    m_tripleClickPoint = point;
    m_tripleClickTimer.start(QApplication::doubleClickInterval(), this);
    selectionToSelectionClipboard();
}

void WireTextEdit::autoScroll()
{
    const QPoint point = viewport()->mapFromGlobal(QCursor::pos());
    QScrollBar *bar = verticalScrollBar();
    if (point.y() < 0)
        bar->setValue(bar->value() - 1);
    else if (point.y() > viewport()->height())
        bar->setValue(bar->value() + 1);
    moveCursor(atRowStart(caretAt(point)), true);
}

void WireTextEdit::selectLineAround(qsizetype position)
{
    cancelLineSearch();
    m_lineSearch = std::make_unique<TextRules::LineSearch>(m_document, position);
    if (m_lineSearch->advance(lineSearchSlice))
        return searchLine();
    m_lineProgress.start();
    m_lineSearchTimer.start(0, this);
}

void WireTextEdit::searchLine()
{
    if (!m_lineSearch)
        return;
    if (!m_lineSearch->advance(lineSearchSlice)) {
        m_lineProgress.update(m_lineSearch->searched(), m_document.size());
        return;
    }
    const TextRules::Span line = m_lineSearch->line();
    cancelLineSearch();
    setSelection(line.from, line.to);
    selectionToSelectionClipboard();
}

void WireTextEdit::cancelLineSearch()
{
    m_lineSearch.reset();
    m_lineSearchTimer.stop();
    m_lineProgress.end();
}
