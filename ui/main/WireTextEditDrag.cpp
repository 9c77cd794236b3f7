// Drag and drop: dragging the selection out, and text or a file dropped in.
#include "WireTextEdit.h"

#include <QDrag>
#include <QDropEvent>
#include <QMimeData>

void WireTextEdit::startDrag()
{
    const qsizetype from = selectionStart();
    const QString dragged = selectedText();
    auto *drag = new QDrag(this);
    auto *data = new QMimeData;
    data->setText(dragged);
    drag->setMimeData(data);
    // Dragged out of the transcript, the text stays: nothing could bring it back.
    const Qt::DropAction action = isUndoRedoEnabled() && isEditable()
                                      ? drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction)
                                      : drag->exec(Qt::CopyAction);
    // Moved out of this box: the text leaves it, if it is still where it was.
    if (action == Qt::MoveAction && drag->target() != this && drag->target() != viewport() &&
        m_document.text(from, from + dragged.size()) == dragged) {
        setSelection(from, from + dragged.size());
        removeSelection();
    }
}

QString WireTextEdit::droppedFile(const QMimeData *source) const
{
    if (!m_acceptsFileDrops || !source->hasUrls() || source->urls().isEmpty())
        return QString();
    return source->urls().constFirst().toLocalFile();
}

void WireTextEdit::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void WireTextEdit::dragMoveEvent(QDragMoveEvent *event)
{
    const bool file = !droppedFile(event->mimeData()).isEmpty();
    if (!isEditable() || (!file && !canInsertFromMimeData(event->mimeData()))) {
        event->ignore();
        return;
    }
    // A file takes the place of the whole text, and stays where it was (never
    // a move); text goes where it is dropped.
    m_dropPosition = file ? -1 : positionAt(event->position().toPoint());
    viewport()->update();
    if (file) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->acceptProposedAction();
    }
}

void WireTextEdit::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dropPosition = -1;
    viewport()->update();
}

void WireTextEdit::dropEvent(QDropEvent *event)
{
    m_dropPosition = -1;
    viewport()->update();
    if (!isEditable()) {
        event->ignore();
        return;
    }
    const QString file = droppedFile(event->mimeData());
    if (!file.isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        emit fileDropped(file);
        return;
    }
    const QString text =
        canInsertFromMimeData(event->mimeData()) ? textFromMimeData(event->mimeData()) : QString();
    if (text.isEmpty()) {
        event->ignore();
        return;
    }
    const qsizetype at = positionAt(event->position().toPoint());
    const bool moveHere = event->source() == this && event->dropAction() == Qt::MoveAction;
    if (moveHere && at >= selectionStart() && at <= selectionEnd()) {
        // Dropped onto itself: nothing moves.
        event->setDropAction(Qt::CopyAction);
        event->accept();
        viewport()->update();
        return;
    }
    m_document.drop(at, text, moveHere);
    // A move within the box is done here; the drag must not remove anything.
    event->setDropAction(moveHere ? Qt::CopyAction : event->proposedAction());
    event->accept();
    setFocus();
}
