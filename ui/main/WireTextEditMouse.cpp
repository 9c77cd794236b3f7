// Clicks: placing the caret, selecting words and lines, the middle button's
// selection paste, and scrolling while a selection is dragged past an edge.
#include "WireTextEdit.h"

#include "TextRules.h"

#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QScrollBar>

void WireTextEdit::mousePressEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::MiddleButton) {
        QClipboard *clipboard = QApplication::clipboard();
        if (clipboard->supportsSelection() && isEditable()) {
            setCursorPosition(positionAt(point));
            insertFromUser(clipboard->text(QClipboard::Selection));
        }
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    if (m_tripleClickTimer.isActive() &&
        (point - m_tripleClickPoint).manhattanLength() < QApplication::startDragDistance()) {
        // A third click selects the line, to and with its line end.
        const qsizetype at = characterAt(point);
        setSelection(TextRules::lineStart(m_document, at), TextRules::lineEndAfter(m_document, at));
        m_tripleClickTimer.stop();
        selectionToSelectionClipboard();
        return;
    }
    bool atRowEnd = false;
    const qsizetype position = positionAt(point, &atRowEnd);
    if (!(event->modifiers() & Qt::ShiftModifier) && hasSelection() &&
        position >= selectionStart() && position < selectionEnd()) {
        m_mightDrag = true;
        m_pressPoint = point;
        return;
    }
    moveCursor(position, event->modifiers() & Qt::ShiftModifier, false, atRowEnd);
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
    moveCursor(positionAt(point), true);
    if (viewport()->rect().contains(point))
        m_autoScrollTimer.stop();
    else if (!m_autoScrollTimer.isActive())
        m_autoScrollTimer.start(50, this);
}

void WireTextEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_mightDrag) {
        m_mightDrag = false;
        setCursorPosition(positionAt(event->position().toPoint()));
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
    const TextRules::Span word = TextRules::wordAt(m_document, characterAt(point));
    setSelection(word.from, word.to);
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
    moveCursor(positionAt(point), true);
}
