#include "WireTextEdit.h"

#include "WireText.h"
#include "WireTextAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <limits>

namespace {

// Space between the frame and the text, in pixels.
constexpr int margin = 4;
// The longest text an input method is shown around the caret.
constexpr qsizetype surroundingLength = 1000;
// While a peer floods, what arrived is shown at most this often.
constexpr int showMs = 30;

int toPixels(int units)
{
    return units / WireMetrics::unitsPerPixel;
}

// Text a key types, as opposed to the control characters of keys such as
// Escape or Backspace and the letters of shortcuts.
bool typesText(const QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    // Ctrl, Alt or Meta with a key make a shortcut or open a menu; Ctrl+Alt
    // together is AltGr on some systems, which types.
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (modifiers && modifiers != (Qt::ControlModifier | Qt::AltModifier))
        return false;
    const char16_t c = text.front().unicode();
    return !(c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0));
}

// The caret moves, each with the key that moves it and the key that selects
// while it does.
struct Move
{
    QKeySequence::StandardKey move;
    QKeySequence::StandardKey select;
};
const Move moves[] = {
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar},
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine},
    {QKeySequence::MoveToStartOfBlock, QKeySequence::SelectStartOfBlock},
    {QKeySequence::MoveToEndOfBlock, QKeySequence::SelectEndOfBlock},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument},
};

const QKeySequence::StandardKey editingKeys[] = {QKeySequence::Undo,
                                                 QKeySequence::Redo,
                                                 QKeySequence::Cut,
                                                 QKeySequence::Copy,
                                                 QKeySequence::Paste,
                                                 QKeySequence::SelectAll,
                                                 QKeySequence::Delete,
                                                 QKeySequence::DeleteEndOfWord,
                                                 QKeySequence::DeleteStartOfWord};

// Keys the box handles itself while it has the focus, whatever shortcuts
// the window has.
bool isEditingKey(const QKeyEvent *key)
{
    const auto matches = [key](QKeySequence::StandardKey standard) {
        return key->matches(standard);
    };
    return typesText(key) || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Return ||
           key->key() == Qt::Key_Enter ||
           std::any_of(std::begin(editingKeys), std::end(editingKeys), matches) ||
           std::any_of(std::begin(moves), std::end(moves), [&](const Move &move) {
               return matches(move.move) || matches(move.select);
           });
}

QString withShortcut(const QString &text, QKeySequence::StandardKey key)
{
    const QKeySequence sequence(key);
    return sequence.isEmpty()
               ? text
               : text + QLatin1Char('\t') + sequence.toString(QKeySequence::NativeText);
}

} // namespace

WireTextEdit::WireTextEdit(QWidget *parent)
    : QAbstractScrollArea(parent), m_metrics(std::make_unique<WireMetrics>(font()))
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
    relayout();
}

WireTextEdit::~WireTextEdit() = default;

void WireTextEdit::setText(const QString &text)
{
    edit(0, m_text.size(), text, EditKind::Other);
    m_undo.clear();
    setSelection(0, 0);
    verticalScrollBar()->setValue(0);
}

void WireTextEdit::appendText(const QString &piece)
{
    if (piece.isEmpty())
        return;
    edit(m_text.size(), m_text.size(), piece, EditKind::Append);
}

void WireTextEdit::setUndoRedoEnabled(bool enabled)
{
    m_undoEnabled = enabled;
    if (!enabled)
        m_undo.clear();
}

void WireTextEdit::edit(qsizetype from, qsizetype to, const QString &text, EditKind kind)
{
    const qsizetype removed = to - from;
    if (removed == 0 && text.isEmpty())
        return;
    const bool accessible = WireTextAccessible::isListening();
    const bool recorded = m_undoEnabled && (kind == EditKind::User || kind == EditKind::Typing);
    const QString removedText = accessible || recorded ? m_text.mid(from, removed) : QString();
    if (recorded)
        m_undo.record({{{from, removedText, text}}, m_anchor, m_position},
                      kind == EditKind::Typing);

    if (from == 0 && to == m_text.size())
        m_text = text;
    else if (from == m_text.size())
        m_text.append(text);
    else
        m_text.replace(from, removed, text);
    // A large insertion, or an edit that moves every row of a long line, is
    // laid out in slices between events, so that the window keeps answering.
    if (text.size() > m_layoutSlice)
        m_layout.updateLater(from);
    else
        m_layout.update(m_text, from, removed, text.size(), m_layoutSlice);
    if (!m_layout.isComplete())
        m_layoutTimer.start(0, this);

    // The caret and anchor keep their place in the text around the edit.
    const auto keep = [&](qsizetype position) {
        if (position >= to)
            return position + text.size() - removed;
        return qMin(position, from);
    };
    m_anchor = WireText::snapBack(m_text, keep(m_anchor));
    m_position = WireText::snapBack(m_text, keep(m_position));
    if (kind == EditKind::Append) {
        m_appendedSinceShown = true;
        showChanges();
    } else {
        updateScrollRange();
        viewport()->update();
    }

    if (accessible) {
        if (!removedText.isEmpty()) {
            QAccessibleTextRemoveEvent event(this, int(from), removedText);
            WireTextAccessible::announce(&event);
        }
        if (!text.isEmpty()) {
            QAccessibleTextInsertEvent event(this, int(from), text);
            WireTextAccessible::announce(&event);
        }
    }
    emit textChanged();
}

void WireTextEdit::replaceRange(qsizetype from, qsizetype to, const QString &text)
{
    from = WireText::snapBack(m_text, from);
    to = qMax(from, WireText::snapBack(m_text, to));
    edit(from, to, text, EditKind::User);
    setCursorPosition(from + text.size());
}

void WireTextEdit::insertFromUser(const QString &text, bool typed)
{
    const qsizetype from = selectionStart();
    edit(from, selectionEnd(), text, typed ? EditKind::Typing : EditKind::User);
    setCursorPosition(from + text.size());
    ensureVisible(m_position);
}

void WireTextEdit::deleteSelectionOr(qsizetype from, qsizetype to)
{
    if (hasSelection()) {
        insertFromUser(QString());
    } else if (from < to) {
        edit(from, to, QString(), EditKind::User);
        setCursorPosition(from);
        ensureVisible(m_position);
    }
}

void WireTextEdit::applySteps(const WireUndoStep &step, bool backwards)
{
    if (backwards) {
        for (auto edit = step.edits.rbegin(); edit != step.edits.rend(); ++edit)
            this->edit(edit->at, edit->at + edit->inserted.size(), edit->removed, EditKind::Other);
        setSelection(step.anchorBefore, step.positionBefore);
    } else {
        for (const WireEdit &edit : step.edits)
            this->edit(edit.at, edit.at + edit.removed.size(), edit.inserted, EditKind::Other);
        const WireEdit &last = step.edits.back();
        setCursorPosition(last.at + last.inserted.size());
    }
    ensureVisible(m_position);
}

void WireTextEdit::undo()
{
    if (m_undoEnabled && m_undo.canUndo())
        applySteps(m_undo.takeUndo(), true);
}

void WireTextEdit::redo()
{
    if (m_undoEnabled && m_undo.canRedo())
        applySteps(m_undo.takeRedo(), false);
}

void WireTextEdit::setCursorPosition(qsizetype position)
{
    setSelection(position, position);
}

void WireTextEdit::setSelection(qsizetype anchor, qsizetype position)
{
    m_caretAtRowEnd = false;
    m_wantedX = -1;
    selectRange(anchor, position);
}

void WireTextEdit::selectRange(qsizetype anchor, qsizetype position)
{
    const qsizetype oldAnchor = m_anchor;
    const qsizetype oldPosition = m_position;
    m_anchor = WireText::snapBack(m_text, anchor);
    m_position = WireText::snapBack(m_text, position);
    notifyCursorMoved(oldAnchor, oldPosition);
}

void WireTextEdit::notifyCursorMoved(qsizetype oldAnchor, qsizetype oldPosition)
{
    restartBlinking();
    viewport()->update();
    const bool selectionMoved = (oldAnchor != oldPosition || hasSelection()) &&
                                (qMin(oldAnchor, oldPosition) != selectionStart() ||
                                 qMax(oldAnchor, oldPosition) != selectionEnd());
    if (WireTextAccessible::isListening()) {
        if (selectionMoved) {
            QAccessibleTextSelectionEvent event(this, int(selectionStart()), int(selectionEnd()));
            event.setCursorPosition(int(m_position));
            WireTextAccessible::announce(&event);
        } else if (oldPosition != m_position) {
            QAccessibleTextCursorEvent event(this, int(m_position));
            WireTextAccessible::announce(&event);
        }
    }
    if (oldPosition != m_position || selectionMoved)
        updateMicroFocus(); // input methods follow the caret
    if (oldPosition != m_position)
        emit cursorPositionChanged();
    if (selectionMoved)
        emit selectionChanged();
}

QString WireTextEdit::selectedText() const
{
    return m_text.mid(selectionStart(), selectionEnd() - selectionStart());
}

void WireTextEdit::selectAll()
{
    setSelection(0, m_text.size());
    selectionToSelectionClipboard();
}

void WireTextEdit::moveCursor(qsizetype position, bool select, bool keepColumn, bool atRowEnd)
{
    const int wantedX = m_wantedX;
    selectRange(select ? m_anchor : position, position);
    m_caretAtRowEnd = atRowEnd;
    m_wantedX = keepColumn ? wantedX : -1;
    ensureVisible(m_position);
}

void WireTextEdit::selectionToSelectionClipboard()
{
    QClipboard *clipboard = QApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void WireTextEdit::copy()
{
    if (hasSelection())
        QApplication::clipboard()->setText(selectedText());
}

void WireTextEdit::cut()
{
    if (!hasSelection())
        return;
    copy();
    insertFromUser(QString());
}

void WireTextEdit::paste()
{
    const QMimeData *data = QApplication::clipboard()->mimeData();
    if (data && canInsertFromMimeData(data))
        insertFromUser(textFromMimeData(data));
}

bool WireTextEdit::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasText();
}

QString WireTextEdit::textFromMimeData(const QMimeData *source) const
{
    return source->text();
}

void WireTextEdit::relayout()
{
    const qsizetype top = m_layout.rowCount() > 0
                              ? m_layout.rowStart(qMin<qsizetype>(verticalScrollBar()->value(),
                                                                  m_layout.rowCount() - 1))
                              : 0;
    m_layout.setGeometry(m_metrics.get(), wrapWidth());
    if (m_text.size() > m_layoutSlice) {
        m_layout.updateLater(0);
        m_layoutTimer.start(0, this);
    } else {
        m_layout.relayout(m_text);
    }
    updateScrollRange();
    verticalScrollBar()->setValue(int(m_layout.rowAt(top)));
    viewport()->update();
}

bool WireTextEdit::isLaidOut(qsizetype position) const
{
    return m_layout.isComplete() || position < m_layout.rowStart(m_layout.knownRows());
}

void WireTextEdit::layOutThrough(qsizetype position) const
{
    if (!isLaidOut(position))
        m_layout.layOutMore(m_text, position - m_layout.rowStart(m_layout.knownRows()) + 1);
}

void WireTextEdit::layOutSlice()
{
    if (m_layout.layOutMore(m_text, m_layoutSlice))
        m_layoutTimer.stop();
    showChanges();
    if (m_visibleLater >= 0 && isLaidOut(m_visibleLater))
        ensureVisible(std::exchange(m_visibleLater, -1));
}

int WireTextEdit::fullRows() const
{
    return qMax(1, (viewport()->height() - margin) / m_metrics->rowHeight());
}

void WireTextEdit::updateScrollRange()
{
    QScrollBar *bar = verticalScrollBar();
    const int rows = fullRows();
    bar->setRange(0, int(qMax<qsizetype>(0, m_layout.knownRows() - rows)));
    bar->setPageStep(rows);
    bar->setSingleStep(1);
}

QPoint WireTextEdit::rowOrigin(qsizetype row) const
{
    return {margin, margin + int(row - verticalScrollBar()->value()) * m_metrics->rowHeight()};
}

int WireTextEdit::xOf(qsizetype row, qsizetype position) const
{
    return margin + toPixels(m_layout.walk(m_text, m_layout.rowStart(row), position));
}

qsizetype WireTextEdit::caretRow() const
{
    const qsizetype row = m_layout.rowAt(m_position);
    return m_caretAtRowEnd && row > 0 && m_layout.rowStart(row) == m_position ? row - 1 : row;
}

QRect WireTextEdit::cursorRect() const
{
    layOutThrough(m_position);
    return caretRect();
}

QRect WireTextEdit::caretRect() const
{
    const qsizetype row = caretRow();
    if (row >= m_layout.knownRows())
        return {}; // not laid out yet
    return {xOf(row, m_position), rowOrigin(row).y(), 1, m_metrics->rowHeight()};
}

QRect WireTextEdit::characterRect(qsizetype position) const
{
    position = qBound<qsizetype>(0, position, m_text.size());
    layOutThrough(WireText::nextBoundary(m_text, position));
    const qsizetype row = m_layout.rowAt(position);
    const int x = xOf(row, position);
    const int end =
        position < m_text.size() ? xOf(row, WireText::nextBoundary(m_text, position)) : x;
    return {x, rowOrigin(row).y(), qMax(1, end - x), m_metrics->rowHeight()};
}

qsizetype WireTextEdit::positionInRow(qsizetype row, int x, bool *atRowEnd) const
{
    if (atRowEnd)
        *atRowEnd = false;
    const qsizetype start = m_layout.rowStart(row);
    const qsizetype end = m_layout.rowEnd(row, m_text.size());
    qsizetype found = -1;
    int left = margin * WireMetrics::unitsPerPixel;
    const int wanted = WireMetrics::toUnits(x);
    m_layout.walk(m_text, start, end, [&](qsizetype at, int, int advance) {
        if (found < 0 && wanted < left + advance / 2)
            found = at;
        left += advance;
    });
    if (found >= 0)
        return found;
    // Past the last character: before the row's line end, if it has one;
    // else, where the row wraps, at its end.
    const qsizetype last = WireText::beforeLineEnd(m_text, start, end);
    if (atRowEnd)
        *atRowEnd = last == end && row + 1 < m_layout.rowCount();
    return last;
}

qsizetype WireTextEdit::rowAtY(int y) const
{
    const qsizetype offset = y < margin ? -1 : (y - margin) / m_metrics->rowHeight();
    return qBound<qsizetype>(0, verticalScrollBar()->value() + offset,
                             qMax<qsizetype>(1, m_layout.knownRows()) - 1);
}

qsizetype WireTextEdit::positionAt(const QPoint &point, bool *atRowEnd) const
{
    // Only rows that are laid out are on screen.
    layOutThrough(0);
    return positionInRow(rowAtY(point.y()), point.x(), atRowEnd);
}

qsizetype WireTextEdit::characterAt(const QPoint &point) const
{
    const qsizetype position = positionAt(point);
    if (position >= m_text.size())
        return m_text.isEmpty() ? 0 : WireText::previousBoundary(m_text, position);
    // positionAt() rounds to the nearer edge; the character under the point
    // is the one that holds it.
    const QRect rect = characterRect(position);
    if (point.x() < rect.left() && position > 0 &&
        m_layout.rowAt(WireText::previousBoundary(m_text, position)) == m_layout.rowAt(position))
        return WireText::previousBoundary(m_text, position);
    return position;
}

void WireTextEdit::ensureVisible(qsizetype position)
{
    // A row not laid out yet is scrolled to once it is.
    m_visibleLater = isLaidOut(position) ? -1 : position;
    if (m_visibleLater >= 0)
        return;
    updateScrollRange();
    qsizetype row = m_layout.rowAt(position);
    if (position == m_position)
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
    if (wrapWidth() != m_layout.width())
        relayout();
    else
        updateScrollRange();
}

void WireTextEdit::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_metrics = std::make_unique<WireMetrics>(font());
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

void WireTextEdit::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.setLayoutDirection(Qt::LeftToRight);
    const int rowHeight = m_metrics->rowHeight();
    const qsizetype first = verticalScrollBar()->value();
    const int clipTop = event->rect().top();
    const int clipBottom = event->rect().bottom();
    for (qsizetype row = first + qMax(0, (clipTop - margin) / rowHeight);
         row < m_layout.knownRows(); ++row) {
        const QPoint origin = rowOrigin(row);
        if (origin.y() > clipBottom)
            break;
        paintRow(painter, row, origin);
    }

    const QPalette::ColorGroup group = colourGroup();
    if (!m_preedit.isEmpty()) {
        const QRect caret = caretRect();
        painter.setFont(font());
        const QRect area(caret.topLeft(),
                         QSize(QFontMetrics(font()).horizontalAdvance(m_preedit), rowHeight));
        painter.fillRect(area, palette().brush(group, QPalette::Base));
        painter.setPen(palette().color(group, QPalette::Text));
        painter.drawText(QPointF(area.left(), area.top() + m_metrics->baseline()), m_preedit);
        painter.drawLine(area.bottomLeft(), area.bottomRight());
    }
    if (hasFocus() && m_caretShown && m_preedit.isEmpty())
        painter.fillRect(caretRect(), palette().brush(group, QPalette::Text));
    if (m_dropPosition >= 0) {
        const QRect at = characterRect(m_dropPosition);
        painter.fillRect(QRect(at.topLeft(), QSize(1, at.height())),
                         palette().brush(group, QPalette::Text));
    }
}

QPalette::ColorGroup WireTextEdit::colourGroup() const
{
    if (!isEnabled())
        return QPalette::Disabled;
    return hasFocus() ? QPalette::Active : QPalette::Inactive;
}

int WireTextEdit::wrapWidth() const
{
    // Room for the caret after the last character of a full row.
    return WireMetrics::toUnits(qMax(1, viewport()->width() - 2 * margin - 1));
}

void WireTextEdit::paintRow(QPainter &painter, qsizetype row, const QPoint &origin) const
{
    const qsizetype start = m_layout.rowStart(row);
    const qsizetype end = m_layout.rowEnd(row, m_text.size());
    const qsizetype selectedFrom = qMax(start, selectionStart());
    const qsizetype selectedTo = qMin(end, selectionEnd());
    const QPalette::ColorGroup group = colourGroup();
    const QPalette &colours = palette();
    const int height = m_metrics->rowHeight();
    const qreal baseline = origin.y() + m_metrics->baseline();
    painter.setFont(font());

    // Characters drawn in one run with their neighbours are gathered and
    // drawn together; everything else is drawn at its own place.
    QString run;
    qreal runX = 0;
    bool runSelected = false;
    const auto flush = [&] {
        if (run.isEmpty())
            return;
        painter.setPen(
            colours.color(group, runSelected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(QPointF(runX, baseline), run);
        run.clear();
    };
    int x = WireMetrics::toUnits(origin.x());
    m_layout.walk(m_text, start, end, [&](qsizetype at, int length, int advance) {
        const qreal left = qreal(x) / WireMetrics::unitsPerPixel;
        x += advance;
        const bool selected = at >= selectedFrom && at < selectedTo;
        const char16_t c = m_text[at].unicode();
        if (selected) {
            // A selected plain break shows as a little selected space.
            const qreal width = length == 2 && c == u'\r'
                                    ? qreal(m_metrics->advance(u' ')) / WireMetrics::unitsPerPixel
                                    : qreal(advance) / WireMetrics::unitsPerPixel;
            painter.fillRect(QRectF(left, origin.y(), width, height),
                             colours.brush(group, QPalette::Highlight));
        }
        const WireMetrics::Drawn drawn =
            length == 2 || c == u'\t' ? WireMetrics::Drawn::Alone : m_metrics->drawn(c);
        if (drawn == WireMetrics::Drawn::InRun && !(run.size() && runSelected != selected)) {
            if (run.isEmpty()) {
                runX = left;
                runSelected = selected;
            }
            run += QChar(c);
            return;
        }
        flush();
        if (drawn == WireMetrics::Drawn::InRun) {
            runX = left;
            runSelected = selected;
            run += QChar(c);
        } else if (drawn == WireMetrics::Drawn::AsMark ||
                   (length == 1 && (c == u'\r' || c == u'\n'))) {
            m_metrics->drawMark(painter, left, origin.y(), c, colours.color(group, QPalette::Text),
                                colours.color(group, QPalette::Base));
        } else if (c != u'\t' && !(length == 2 && c == u'\r')) {
            // Alone, and in the order it came: never reordered or joined.
            painter.setPen(
                colours.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
            painter.drawText(QPointF(left, baseline),
                             QChar(0x202D) + m_text.mid(at, length) + QChar(0x202C));
        }
    });
    flush();
}

bool WireTextEdit::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride &&
        isEditingKey(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

bool WireTextEdit::handleMovement(QKeyEvent *event)
{
    const auto verticalTarget = [this](qsizetype rows, bool *atRowEnd) {
        if (m_wantedX < 0)
            m_wantedX = cursorRect().left();
        const qsizetype target = caretRow() + rows;
        if (target < 0)
            return qsizetype(0);
        while (target >= m_layout.knownRows() && !m_layout.isComplete())
            m_layout.layOutMore(m_text, m_layoutSlice);
        if (target >= m_layout.rowCount())
            return m_text.size();
        return positionInRow(target, m_wantedX, atRowEnd);
    };
    const auto rowEndOf = [this](qsizetype row) {
        return WireText::beforeLineEnd(m_text, m_layout.rowStart(row),
                                       m_layout.rowEnd(row, m_text.size()));
    };

    for (const Move &move : moves) {
        const bool select = event->matches(move.select);
        if (!select && !event->matches(move.move))
            continue;
        qsizetype target = m_position;
        bool keepColumn = false;
        bool atRowEnd = false;
        switch (move.move) {
        case QKeySequence::MoveToNextChar:
            target = hasSelection() && !select ? selectionEnd()
                                               : WireText::nextBoundary(m_text, m_position);
            break;
        case QKeySequence::MoveToPreviousChar:
            target = hasSelection() && !select ? selectionStart()
                                               : WireText::previousBoundary(m_text, m_position);
            break;
        case QKeySequence::MoveToNextWord:
            target = WireText::nextWordStart(m_text, m_position);
            break;
        case QKeySequence::MoveToPreviousWord:
            target = WireText::previousWordStart(m_text, m_position);
            break;
        case QKeySequence::MoveToNextLine:
        case QKeySequence::MoveToPreviousLine:
        case QKeySequence::MoveToNextPage:
        case QKeySequence::MoveToPreviousPage: {
            const bool page = move.move == QKeySequence::MoveToNextPage ||
                              move.move == QKeySequence::MoveToPreviousPage;
            const bool down = move.move == QKeySequence::MoveToNextLine ||
                              move.move == QKeySequence::MoveToNextPage;
            const qsizetype rows = page ? fullRows() : 1;
            if (page)
                verticalScrollBar()->setValue(verticalScrollBar()->value() +
                                              int(down ? rows : -rows));
            target = verticalTarget(down ? rows : -rows, &atRowEnd);
            keepColumn = true;
            break;
        }
        case QKeySequence::MoveToStartOfLine:
            target = m_layout.rowStart(caretRow());
            break;
        case QKeySequence::MoveToEndOfLine: {
            const qsizetype row = caretRow();
            target = rowEndOf(row);
            atRowEnd = row + 1 < m_layout.rowCount() && target == m_layout.rowStart(row + 1);
            break;
        }
        case QKeySequence::MoveToStartOfBlock:
            target = WireText::lineStart(m_text, m_position);
            break;
        case QKeySequence::MoveToEndOfBlock:
            target = WireText::beforeLineEnd(m_text, m_position,
                                             WireText::lineEndAfter(m_text, m_position));
            break;
        case QKeySequence::MoveToStartOfDocument:
            target = 0;
            break;
        default:
            target = m_text.size();
            break;
        }
        moveCursor(target, select, keepColumn, atRowEnd);
        if (select)
            selectionToSelectionClipboard();
        return true;
    }
    return false;
}

bool WireTextEdit::handleEditing(QKeyEvent *event)
{
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
        deleteSelectionOr(WireText::previousWordStart(m_text, m_position), m_position);
    } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
        deleteSelectionOr(m_position, WireText::nextWordStart(m_text, m_position));
    } else if (event->matches(QKeySequence::Delete)) {
        deleteSelectionOr(m_position, WireText::nextBoundary(m_text, m_position));
    } else if (event->key() == Qt::Key_Backspace &&
               !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        deleteSelectionOr(WireText::previousBoundary(m_text, m_position), m_position);
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // A line break typed here is CR LF, whatever modifier is held with Enter.
        insertFromUser(QStringLiteral("\r\n"));
    } else if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        const QRect caret = cursorRect();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, caret.bottomLeft(),
                               viewport()->mapToGlobal(caret.bottomLeft()));
        contextMenuEvent(&menu);
    } else {
        return false;
    }
    return true;
}

void WireTextEdit::keyPressEvent(QKeyEvent *event)
{
    layOutThrough(m_position);
    if (handleMovement(event) || handleEditing(event)) {
        event->accept();
        return;
    }
    if (typesText(event)) {
        insertFromUser(event->text(), event->text().size() == 1);
        event->accept();
        return;
    }
    event->ignore();
}

void WireTextEdit::inputMethodEvent(QInputMethodEvent *event)
{
    const QString commit = event->commitString();
    if (!commit.isEmpty() || event->replacementLength() > 0) {
        if (event->replacementStart() != 0 || event->replacementLength() > 0) {
            const qsizetype from =
                qBound<qsizetype>(0, m_position + event->replacementStart(), m_text.size());
            setSelection(from, qMin(m_text.size(), from + event->replacementLength()));
        }
        insertFromUser(commit, commit.size() == 1);
    }
    m_preedit = event->preeditString();
    viewport()->update();
    event->accept();
}

QVariant WireTextEdit::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // The line around the caret, or as much of it as an input method is shown.
    const qsizetype near = qMax<qsizetype>(0, m_position - surroundingLength / 2);
    const QStringView around = QStringView(m_text).mid(
        near, qMin(m_text.size(), m_position + surroundingLength / 2) - near);
    const qsizetype lineFrom = near + WireText::lineStart(around, m_position - near);
    const qsizetype lineTo = near + WireText::lineEndAfter(around, m_position - near);
    switch (query) {
    case Qt::ImEnabled:
        return isEnabled();
    case Qt::ImCursorRectangle:
        return cursorRect().translated(viewport()->pos());
    case Qt::ImFont:
        return font();
    case Qt::ImCursorPosition:
        return int(m_position - lineFrom);
    case Qt::ImAnchorPosition:
        return int(qBound(lineFrom, m_anchor, lineTo) - lineFrom);
    case Qt::ImSurroundingText:
        return m_text.mid(lineFrom, lineTo - lineFrom);
    case Qt::ImCurrentSelection:
        return m_text.mid(selectionStart(),
                          qMin(selectionEnd() - selectionStart(), surroundingLength));
    case Qt::ImTextBeforeCursor:
        return m_text.mid(lineFrom, m_position - lineFrom);
    case Qt::ImTextAfterCursor:
        return m_text.mid(m_position, lineTo - m_position);
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    case Qt::ImReadOnly:
        return false;
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void WireTextEdit::mousePressEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (event->button() == Qt::MiddleButton) {
        QClipboard *clipboard = QApplication::clipboard();
        if (clipboard->supportsSelection()) {
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
        setSelection(WireText::lineStart(m_text, at), WireText::lineEndAfter(m_text, at));
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
        if ((point - m_pressPoint).manhattanLength() < QApplication::startDragDistance())
            return;
        m_mightDrag = false;
        const qsizetype from = selectionStart();
        const QString dragged = selectedText();
        auto *drag = new QDrag(this);
        auto *data = new QMimeData;
        data->setText(dragged);
        drag->setMimeData(data);
        // Dragged out of the transcript, the text stays: nothing could bring
        // it back.
        const Qt::DropAction action =
            m_undoEnabled ? drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction)
                          : drag->exec(Qt::CopyAction);
        // Moved out of this box: the text leaves it, if it is still where it was.
        if (action == Qt::MoveAction && drag->target() != this && drag->target() != viewport() &&
            QStringView(m_text).mid(from, dragged.size()) == dragged) {
            setSelection(from, from + dragged.size());
            insertFromUser(QString());
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
    const WireText::Span word = WireText::wordAt(m_text, characterAt(point));
    setSelection(word.from, word.to);
    m_tripleClickPoint = point;
    m_tripleClickTimer.start(QApplication::doubleClickInterval(), this);
    selectionToSelectionClipboard();
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
    if (m_undoEnabled) {
        add(tr("&Undo"), QKeySequence::Undo, m_undo.canUndo(), &WireTextEdit::undo);
        add(tr("&Redo"), QKeySequence::Redo, m_undo.canRedo(), &WireTextEdit::redo);
        menu->addSeparator();
    }
    add(tr("Cu&t"), QKeySequence::Cut, hasSelection(), &WireTextEdit::cut);
    add(tr("&Copy"), QKeySequence::Copy, hasSelection(), &WireTextEdit::copy);
    const QMimeData *clipboard = QApplication::clipboard()->mimeData();
    add(tr("&Paste"), QKeySequence::Paste, clipboard && canInsertFromMimeData(clipboard),
        &WireTextEdit::paste);
    QAction *remove = menu->addAction(tr("Delete"));
    remove->setEnabled(hasSelection());
    connect(remove, &QAction::triggered, this, [this] { insertFromUser(QString()); });
    menu->addSeparator();
    add(tr("Select All"), QKeySequence::SelectAll, !m_text.isEmpty(), &WireTextEdit::selectAll);
    if (!m_contextActions.isEmpty()) {
        menu->addSeparator();
        menu->addActions(m_contextActions);
    }
    return menu;
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
    if (!file && !canInsertFromMimeData(event->mimeData())) {
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
    qsizetype at = positionAt(event->position().toPoint());
    const bool moveHere = event->source() == this && event->dropAction() == Qt::MoveAction;
    if (moveHere && at >= selectionStart() && at <= selectionEnd()) {
        // Dropped onto itself: nothing moves.
        event->setDropAction(Qt::CopyAction);
        event->accept();
        viewport()->update();
        return;
    }
    WireUndoStep step{{}, m_anchor, m_position};
    if (moveHere) {
        const qsizetype from = selectionStart();
        const qsizetype to = selectionEnd();
        step.edits.push_back({from, m_text.mid(from, to - from), QString()});
        edit(from, to, QString(), EditKind::Other);
        if (at > to)
            at -= to - from;
    }
    at = WireText::snapBack(m_text, at);
    step.edits.push_back({at, QString(), text});
    edit(at, at, text, EditKind::Other);
    if (m_undoEnabled)
        m_undo.record(std::move(step), false);
    setSelection(at, at + text.size());
    // A move within the box is done here; the drag must not remove anything.
    event->setDropAction(moveHere ? Qt::CopyAction : event->proposedAction());
    event->accept();
    setFocus();
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
    if (event->timerId() == m_blinkTimer.timerId()) {
        m_caretShown = !m_caretShown;
        viewport()->update(caretRect());
    } else if (event->timerId() == m_layoutTimer.timerId()) {
        layOutSlice();
    } else if (event->timerId() == m_showTimer.timerId()) {
        showNow();
    } else if (event->timerId() == m_tripleClickTimer.timerId()) {
        m_tripleClickTimer.stop();
    } else if (event->timerId() == m_autoScrollTimer.timerId()) {
        const QPoint point = viewport()->mapFromGlobal(QCursor::pos());
        QScrollBar *bar = verticalScrollBar();
        if (point.y() < 0)
            bar->setValue(bar->value() - 1);
        else if (point.y() > viewport()->height())
            bar->setValue(bar->value() + 1);
        moveCursor(positionAt(point), true);
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}
