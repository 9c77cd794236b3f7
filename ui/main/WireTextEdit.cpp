#include "WireTextEdit.h"

#include "TextRules.h"
#include "WireTextAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QToolTip>

#include <memory>

namespace {

QString withShortcut(const QString &text, QKeySequence::StandardKey key)
{
    const QKeySequence sequence(key);
    return sequence.isEmpty()
               ? text
               : text + QLatin1Char('\t') + sequence.toString(QKeySequence::NativeText);
}

// What Copy, and a selection, offer to other programs: plain text, made
// only when one of them (or a paste here) asks for it. Until then the
// clipboard holds the selection's blocks, shared with the box and one byte a
// character, so copying a large selection costs a moment, not a string of
// twice its size.
class SelectionMimeData : public QMimeData
{
public:
    explicit SelectionMimeData(TextSnapshot text) : m_text(std::move(text)) {}

    QStringList formats() const override { return {plainText()}; }

protected:
    QVariant retrieveData(const QString &mimeType, QMetaType) const override
    {
        if (mimeType != plainText())
            return {};
        return m_text.text(0, m_text.size());
    }

private:
    static QString plainText() { return QStringLiteral("text/plain"); }

    TextSnapshot m_text;
};

} // namespace

WireTextEdit::WireTextEdit(QWidget *parent)
    : QAbstractScrollArea(parent), m_metrics(font()),
      m_lineProgress(this, tr("Selecting the line..."), [this] { cancelLineSearch(); })
{
    WireTextAccessible::install();
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    connect(&m_document, &WireDocument::aboutToChange, this, &WireTextEdit::documentAboutToChange);
    connect(&m_document, &WireDocument::changed, this, &WireTextEdit::documentChanged);
    connect(&m_document, &WireDocument::selectionSet, this, &WireTextEdit::selectionSet);
    relayout();
}

WireTextEdit::~WireTextEdit()
{
    m_document.disconnect(this);
}

void WireTextEdit::forEachPiece(const std::function<void(const QString &)> &visit) const
{
    m_document.forEachPiece(0, m_document.size(), visit);
}

void WireTextEdit::setText(const QString &text)
{
    m_document.setText(text);
    verticalScrollBar()->setValue(0);
}

void WireTextEdit::appendText(const QString &piece, OriginStamp stamp)
{
    m_document.append(piece, stamp);
}

void WireTextEdit::appendBytes(const QByteArray &bytes, OriginStamp stamp)
{
    m_document.appendBytes(bytes, stamp);
}

void WireTextEdit::documentAboutToChange(qsizetype from, qsizetype removed, qsizetype)
{
    if (removed > 0 && WireTextAccessible::isListening())
        m_removedForReader = m_document.text(from, from + removed);
}

void WireTextEdit::documentChanged(qsizetype from, qsizetype removed, qsizetype added,
                                   bool appended)
{
    // Only the view shown follows the text; the other is laid out anew when
    // it is shown again.
    m_view->followChange(from, removed, added);
    // An edit moves what a line's search has found; an append does not.
    if (!appended)
        cancelLineSearch();
    // What a peer appends leaves the caret's place alone.
    if (appended)
        m_caret.position = m_document.position();
    else
        forgetCaretPlace();
    if (!m_view->isComplete())
        m_layoutTimer.start(0, this);
    if (appended) {
        m_appendedSinceShown = true;
        showChanges();
    } else {
        updateScrollRange();
        viewport()->update();
    }
    if (WireTextAccessible::isListening()) {
        if (!m_removedForReader.isEmpty()) {
            QAccessibleTextRemoveEvent event(
                this, int(from), TextRules::spokenText(std::exchange(m_removedForReader, {})));
            WireTextAccessible::announce(&event);
        }
        if (added > 0) {
            QAccessibleTextInsertEvent event(
                this, int(from), TextRules::spokenText(m_document.text(from, from + added)));
            WireTextAccessible::announce(&event);
        }
    }
    emit textChanged();
    if (removed != added && m_lengthChanged)
        m_lengthChanged();
}

void WireTextEdit::setSelection(qsizetype anchor, qsizetype position)
{
    m_document.setSelection(anchor, position);
}

void WireTextEdit::forgetCaretPlace()
{
    m_caret = {m_document.position(), false, -1, m_caret.column};
    m_view->dropPendingDigit();
}

void WireTextEdit::selectionSet(qsizetype oldAnchor, qsizetype oldPosition)
{
    forgetCaretPlace();
    restartBlinking();
    viewport()->update();
    const qsizetype position = m_document.position();
    const bool selectionMoved = (oldAnchor != oldPosition || hasSelection()) &&
                                (qMin(oldAnchor, oldPosition) != selectionStart() ||
                                 qMax(oldAnchor, oldPosition) != selectionEnd());
    if (WireTextAccessible::isListening()) {
        if (selectionMoved) {
            QAccessibleTextSelectionEvent event(this, int(selectionStart()), int(selectionEnd()));
            event.setCursorPosition(int(position));
            WireTextAccessible::announce(&event);
        } else if (oldPosition != position) {
            QAccessibleTextCursorEvent event(this, int(position));
            WireTextAccessible::announce(&event);
        }
    }
    if (oldPosition != position || selectionMoved)
        updateMicroFocus(); // input methods follow the caret
    if (oldPosition != position)
        emit cursorPositionChanged();
    if (selectionMoved)
        emit selectionChanged();
}

void WireTextEdit::replaceRange(qsizetype from, qsizetype to, const QString &text)
{
    if (isEditable())
        m_document.replaceRange(from, to, text);
}

void WireTextEdit::replaceAllWithBytes(const QList<QByteArray> &pieces)
{
    if (isEditable())
        m_document.replaceAllWithBytes(pieces);
}

void WireTextEdit::runCommand(const std::function<void(WireDocument &)> &command)
{
    if (!isEditable())
        return;
    command(m_document);
    ensureVisible(m_document.position());
}

void WireTextEdit::enter(const RowView::Entry &entry)
{
    if (!isEditable())
        return;
    if (!entry.refusal.isEmpty())
        showRefusal(entry.refusal);
    else if (entry.waits)
        viewport()->update();
    else
        runCommand([&entry](WireDocument &text) {
            EditCommands::type(text, entry.text, entry.overwrite, entry.merge);
        });
}

void WireTextEdit::showRefusal(const QString &why)
{
    QToolTip::showText(viewport()->mapToGlobal(caretRect().bottomLeft()), why, this);
}

void WireTextEdit::undo()
{
    if (m_document.canUndo())
        runCommand([](WireDocument &text) { text.undo(); });
}

void WireTextEdit::redo()
{
    if (m_document.canRedo())
        runCommand([](WireDocument &text) { text.redo(); });
}

void WireTextEdit::selectAll()
{
    setSelection(0, m_document.size());
    selectionToSelectionClipboard();
}

void WireTextEdit::selectionToSelectionClipboard()
{
    QClipboard *clipboard = QApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setMimeData(selectionMimeData(), QClipboard::Selection);
}

QMimeData *WireTextEdit::selectionMimeData() const
{
    return new SelectionMimeData(m_document.snapshot(selectionStart(), selectionEnd()));
}

void WireTextEdit::copy()
{
    if (hasSelection())
        QApplication::clipboard()->setMimeData(selectionMimeData());
}

void WireTextEdit::cut()
{
    if (!hasSelection() || !isEditable())
        return;
    copy();
    removeSelection();
}

void WireTextEdit::removeSelection()
{
    runCommand([](WireDocument &text) { text.replaceSelection(QString()); });
}

void WireTextEdit::paste()
{
    const QMimeData *data = QApplication::clipboard()->mimeData();
    if (data && canInsertFromMimeData(data))
        enter(m_view->pasting(m_caret, textFromMimeData(data)));
}

bool WireTextEdit::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasText();
}

QString WireTextEdit::textFromMimeData(const QMimeData *source) const
{
    return source->text();
}

void WireTextEdit::contextMenuEvent(QContextMenuEvent *event)
{
    const std::unique_ptr<QMenu> menu(createStandardContextMenu());
    menu->exec(event->globalPos());
}

QMenu *WireTextEdit::createStandardContextMenu()
{
    auto *menu = new QMenu(this);
    const auto add = [&](const QString &text, QKeySequence::StandardKey key, bool enabled,
                         void (WireTextEdit::*slot)()) {
        QAction *action = menu->addAction(withShortcut(text, key));
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, slot);
    };
    const bool editable = isEditable();
    if (isUndoRedoEnabled()) {
        add(tr("&Undo"), QKeySequence::Undo, editable && m_document.canUndo(), &WireTextEdit::undo);
        add(tr("&Redo"), QKeySequence::Redo, editable && m_document.canRedo(), &WireTextEdit::redo);
        menu->addSeparator();
    }
    add(tr("Cu&t"), QKeySequence::Cut, editable && hasSelection(), &WireTextEdit::cut);
    add(tr("&Copy"), QKeySequence::Copy, hasSelection(), &WireTextEdit::copy);
    const QMimeData *clipboard = QApplication::clipboard()->mimeData();
    add(tr("&Paste"), QKeySequence::Paste,
        editable && clipboard && canInsertFromMimeData(clipboard), &WireTextEdit::paste);
    QAction *remove = menu->addAction(tr("Delete"));
    remove->setEnabled(editable && hasSelection());
    connect(remove, &QAction::triggered, this, &WireTextEdit::removeSelection);
    menu->addSeparator();
    add(tr("Select All"), QKeySequence::SelectAll, !m_document.isEmpty(), &WireTextEdit::selectAll);
    if (!m_contextActions.isEmpty()) {
        menu->addSeparator();
        menu->addActions(m_contextActions);
    }
    return menu;
}

void WireTextEdit::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    restartBlinking();
    viewport()->update();
}

void WireTextEdit::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_blinkTimer.stop();
    viewport()->update();
}

void WireTextEdit::restartBlinking()
{
    m_caretShown = true;
    const int flashTime = QApplication::cursorFlashTime();
    if (hasFocus() && flashTime >= 2)
        m_blinkTimer.start(flashTime / 2, this);
    else
        m_blinkTimer.stop();
}

void WireTextEdit::timerEvent(QTimerEvent *event)
{
    const int id = event->timerId();
    if (id == m_blinkTimer.timerId()) {
        m_caretShown = !m_caretShown;
        // The caret's whole row: the dump shows it in both its columns.
        const QRect caret = caretRect();
        viewport()->update(0, caret.top(), viewport()->width(), caret.height());
    } else if (id == m_layoutTimer.timerId()) {
        layOutSlice();
    } else if (id == m_showTimer.timerId()) {
        showNow();
    } else if (id == m_tripleClickTimer.timerId()) {
        m_tripleClickTimer.stop();
    } else if (id == m_autoScrollTimer.timerId()) {
        autoScroll();
    } else if (id == m_lineSearchTimer.timerId()) {
        searchLine();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}
