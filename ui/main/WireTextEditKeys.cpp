// Keys and input methods: what each key does to the document and the caret.
#include "WireTextEdit.h"

#include "EditCommands.h"
#include "KeyMoves.h"
#include "TextRules.h"

#include <QKeyEvent>
#include <QScrollBar>

namespace {

// The longest text an input method is shown around the caret.
constexpr qsizetype surroundingLength = 1000;

} // namespace

bool WireTextEdit::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride &&
        KeyMoves::isEditingKey(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void WireTextEdit::moveCursor(const CaretMoves::Caret &target, bool select)
{
    m_document.setSelection(select ? m_document.anchor() : target.position, target.position);
    m_caret = target;
    m_caret.position = m_document.position();
    ensureVisible(m_document.position());
}

bool WireTextEdit::handleMovement(QKeyEvent *event)
{
    const std::optional<KeyMoves::KeyMove> key = KeyMoves::moveFor(event);
    if (!key)
        return false;
    using CaretMoves::Move;
    const bool page = key->move == Move::NextPage || key->move == Move::PreviousPage;
    if (page && m_view->scrollsByPage()) {
        QScrollBar *bar = verticalScrollBar();
        bar->setValue(bar->value() + (key->move == Move::NextPage ? fullRows() : -fullRows()));
    }
    moveCursor(m_view->target(key->move, m_caret, key->select, fullRows()), key->select);
    if (key->select)
        selectionToSelectionClipboard();
    return true;
}

bool WireTextEdit::handleEditing(QKeyEvent *event)
{
    const bool plain = !(event->modifiers() & ~Qt::KeypadModifier);
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->matches(QKeySequence::Cut)) {
        cut();
    } else if (event->matches(QKeySequence::Paste)) {
        paste();
    } else if (event->matches(QKeySequence::Undo)) {
        undo();
    } else if (event->matches(QKeySequence::Redo)) {
        redo();
    } else if (event->matches(QKeySequence::DeleteStartOfWord)) {
        runCommand(&EditCommands::deleteWordBack);
    } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
        runCommand(&EditCommands::deleteWordForward);
    } else if (event->matches(QKeySequence::Delete)) {
        runCommand(&EditCommands::deleteForward);
    } else if (event->key() == Qt::Key_Backspace &&
               !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        runCommand(&EditCommands::backspace);
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // The line break chosen, whatever modifier is held with Enter.
        runCommand(
            [this](WireDocument &text) { EditCommands::insertLineBreak(text, m_lineBreak); });
    } else if (event->key() == Qt::Key_Insert && plain && m_view->toggleOverwrite()) {
        viewport()->update();
    } else if (event->key() == Qt::Key_Escape && plain && m_view->dropPendingDigit()) {
        viewport()->update();
    } else {
        return false;
    }
    return true;
}

bool WireTextEdit::handleMenuKey(QKeyEvent *event)
{
    if (event->key() != Qt::Key_F10 || event->modifiers() != Qt::ShiftModifier)
        return false;
    m_view->layOutThrough(m_document.position());
    const QRect caret = caretRect();
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, caret.bottomLeft(),
                           viewport()->mapToGlobal(caret.bottomLeft()));
    contextMenuEvent(&menu);
    return true;
}

void WireTextEdit::keyPressEvent(QKeyEvent *event)
{
    // The menu opens from the keyboard in the dump too: it leads back to the text.
    if (handleMenuKey(event)) {
        event->accept();
        return;
    }
    m_view->layOutThrough(m_document.position());
    if (handleMovement(event) || handleEditing(event)) {
        event->accept();
        return;
    }
    if (KeyMoves::typesText(event)) {
        enter(m_view->typing(m_caret, event->text()));
        event->accept();
        return;
    }
    event->ignore();
}

void WireTextEdit::inputMethodEvent(QInputMethodEvent *event)
{
    if (!isEditable()) {
        event->accept(); // the dump takes no text
        return;
    }
    const QString commit = event->commitString();
    if (!commit.isEmpty() || event->replacementLength() > 0) {
        if (event->replacementStart() != 0 || event->replacementLength() > 0) {
            const qsizetype size = m_document.size();
            const qsizetype from =
                qBound<qsizetype>(0, m_document.position() + event->replacementStart(), size);
            setSelection(from, qMin(size, from + event->replacementLength()));
        }
        enter(m_view->typing(m_caret, commit));
    }
    m_preedit = event->preeditString();
    viewport()->update();
    event->accept();
}

QVariant WireTextEdit::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // The line around the caret, or as much of it as an input method is shown.
    const qsizetype position = m_document.position();
    const qsizetype size = m_document.size();
    const qsizetype near = qMax<qsizetype>(0, position - surroundingLength / 2);
    const qsizetype far = qMin(size, position + surroundingLength / 2);
    const auto at = [this, far](qsizetype i) { return i < far ? m_document.at(i) : u'\0'; };
    qsizetype lineFrom = near;
    for (qsizetype i = position; i > near; --i) {
        if (TextRules::lineEndLength(at(i - 1), at(i)) == 1) {
            lineFrom = i;
            break;
        }
    }
    qsizetype lineTo = far;
    for (qsizetype i = position; i < far; ++i) {
        if (const int length = TextRules::lineEndLength(at(i), at(i + 1))) {
            lineTo = i + length;
            break;
        }
    }
    switch (query) {
    case Qt::ImEnabled:
        return isEnabled();
    case Qt::ImCursorRectangle:
        return caretRect().translated(viewport()->pos());
    case Qt::ImFont:
        return font();
    case Qt::ImCursorPosition:
        return int(position - lineFrom);
    case Qt::ImAnchorPosition:
        return int(qBound(lineFrom, m_document.anchor(), lineTo) - lineFrom);
    case Qt::ImSurroundingText:
        return m_document.text(lineFrom, lineTo);
    case Qt::ImCurrentSelection:
        return m_document.text(selectionStart(),
                               selectionStart() +
                                   qMin(selectionEnd() - selectionStart(), surroundingLength));
    case Qt::ImTextBeforeCursor:
        return m_document.text(lineFrom, position);
    case Qt::ImTextAfterCursor:
        return m_document.text(position, lineTo);
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    case Qt::ImReadOnly:
        return !isEditable();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}
