#pragma once

// Drives a WireTextEdit through random operations, the way a user and a peer
// would, through its own keys, clicks, drops and input methods, and checks
// after each one that the box holds exactly what the reference holds after
// the same operation (WireReference.h). The document behind it is checked at
// length with no widget (DocumentScript.h); this covers what each input
// turns into.
//
// Now and then, if asked, the box shows its text as a hex dump, or again as
// text. In the transcript's dump nothing the user does changes the text, and
// each key moves the caret by cells: one cell on or back (the CR and LF of a
// pair are two, the caret can stand between them, and it moves on past the
// LF when the text is shown again), a row sixteen cells, a page sixteen cells
// for each row in view, Home and End to the row's first and last cell.

#include "DocumentScript.h"
#include "KeyMoves.h"
#include "WireTextEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>

// `Random` gives a number below its argument.
template <typename Random> class WireEditScript
{
public:
    WireEditScript(WireTextEdit &box, Random &random, bool showsDump = false)
        : m_box(box), m_random(random), m_showsDump(showsDump)
    {
        m_reference.undoEnabled = box.isUndoRedoEnabled();
        m_reference.setText(box.text());
        box.setCursorPosition(0);
    }

    const WireReference &reference() const { return m_reference; }

    // Runs one random operation; returns what went wrong, or nothing.
    QString step()
    {
        WireReference &ref = m_reference;
        if (m_showsDump && m_random(16) == 0) {
            m_box.setHexShown(!m_box.isHexShown());
            ref.showCells(m_box.isHexShown());
            return check(m_box.isHexShown() ? QStringLiteral("show the dump")
                                            : QStringLiteral("show the text"));
        }
        const bool dump = m_box.isHexShown();
        quint32 operation = m_random(18);
        // A peer appends only to the transcript, which keeps no history.
        if (operation <= 1 && ref.undoEnabled)
            operation = 7;
        QString did;
        switch (operation) {
        case 0:
        case 1: {
            const QString piece = randomText();
            did = QStringLiteral("append %1").arg(show(piece));
            m_box.appendText(piece);
            ref.append(piece);
            break;
        }
        case 2:
        case 3: {
            static const QString typeable[] = {
                QStringLiteral("a"),          QStringLiteral(" "),      QStringLiteral("x"),
                QStringLiteral("\u00E9"),     QStringLiteral("\u2400"), QStringLiteral("\u4E2D"),
                QStringLiteral("\U0001F600"), QStringLiteral("-")};
            const QString typed = typeable[m_random(8)];
            if (m_random(4) == 0) {
                // Composed by an input method instead of typed.
                did = QStringLiteral("compose %1").arg(show(typed));
                QInputMethodEvent compose;
                compose.setCommitString(typed);
                QApplication::sendEvent(&m_box, &compose);
            } else {
                did = QStringLiteral("type %1").arg(show(typed));
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
                QApplication::sendEvent(&m_box, &press);
            }
            if (!dump)
                ref.replaceSelection(typed, typed.size() == 1);
            break;
        }
        case 4:
            did = QStringLiteral("Enter");
            QTest::keyClick(&m_box, m_random(2) ? Qt::Key_Return : Qt::Key_Enter);
            if (!dump)
                ref.replaceSelection(QStringLiteral("\r\n"));
            break;
        case 5:
            did = QStringLiteral("Backspace");
            QTest::keyClick(&m_box, Qt::Key_Backspace);
            if (!dump)
                ref.removeOr(ref.previous(ref.position), ref.position);
            break;
        case 6:
            did = QStringLiteral("Delete");
            QTest::keyClick(&m_box, Qt::Key_Delete);
            if (!dump)
                ref.removeOr(ref.position, ref.next(ref.position));
            break;
        case 7: {
            const QString pasted = randomText();
            if (m_random(4) == 0) {
                // Dropped from another program: it goes where it is dropped.
                const QPoint point(int(m_random(quint32(m_box.viewport()->width()))),
                                   int(m_random(quint32(m_box.viewport()->height()))));
                did = QStringLiteral("drop %1 at %2,%3")
                          .arg(show(pasted))
                          .arg(point.x())
                          .arg(point.y());
                const qsizetype at = m_box.positionAt(point);
                QMimeData data;
                data.setText(pasted);
                QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(m_box.viewport(), &enter);
                QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(m_box.viewport(), &drop);
                const qsizetype snapped = ref.snap(at);
                if (pasted.isEmpty() || dump)
                    break; // nothing to drop, or nowhere to drop it
                ref.replace(snapped, snapped, pasted);
                ref.anchor = ref.snap(snapped);
                ref.position = ref.snap(snapped + pasted.size());
                break;
            }
            did = QStringLiteral("paste %1").arg(show(pasted));
            QApplication::clipboard()->setText(pasted);
            QTest::keyClick(&m_box, Qt::Key_V, Qt::ControlModifier);
            if (!dump)
                ref.replaceSelection(pasted);
            break;
        }
        case 8:
        case 9: {
            const bool cut = operation == 8;
            did = cut ? QStringLiteral("cut") : QStringLiteral("copy");
            QApplication::clipboard()->clear();
            QTest::keyClick(&m_box, cut ? Qt::Key_X : Qt::Key_C, Qt::ControlModifier);
            // Exactly the selection goes to the clipboard; the dump cuts nothing.
            const QString copied = cut && dump ? QString() : ref.selected();
            if (ref.anchor != ref.position && QApplication::clipboard()->text() != copied)
                return QStringLiteral("%1 put %2 on the clipboard, not %3")
                    .arg(did, show(QApplication::clipboard()->text()), show(copied));
            if (cut && !dump)
                ref.replaceSelection(QString());
            break;
        }
        case 10:
        case 11: {
            // Any two positions, boundaries or not.
            const qsizetype anchor = qsizetype(m_random(quint32(ref.text.size() + 1)));
            const qsizetype position = qsizetype(m_random(quint32(ref.text.size() + 1)));
            did = QStringLiteral("select %1..%2").arg(anchor).arg(position);
            m_box.setSelection(anchor, position);
            ref.anchor = ref.snap(anchor);
            ref.position = ref.snap(position);
            break;
        }
        case 12:
        case 13: {
            // A, in the dump only: Ctrl+A selects all, A alone types.
            static const Qt::Key keys[] = {Qt::Key_Left,   Qt::Key_Right,    Qt::Key_Up,
                                           Qt::Key_Down,   Qt::Key_Home,     Qt::Key_End,
                                           Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_A};
            const Qt::Key key = keys[m_random(dump ? 9 : 8)];
            Qt::KeyboardModifiers modifiers;
            if (m_random(2))
                modifiers |= Qt::ShiftModifier;
            if (m_random(3) == 0)
                modifiers |= Qt::ControlModifier;
            did = QStringLiteral("key %1 with %2").arg(int(key)).arg(int(modifiers));
            const bool hadSelection = ref.anchor != ref.position;
            const Selection inDump = dump ? dumpKey(key, modifiers) : Selection{-1, -1};
            QTest::keyClick(&m_box, key, modifiers);
            if (inDump.first >= 0 &&
                inDump != qMakePair(m_box.anchorPosition(), m_box.cursorPosition()))
                return did + QStringLiteral(": selection %1..%2 in the dump, not %3..%4")
                                 .arg(m_box.anchorPosition())
                                 .arg(m_box.cursorPosition())
                                 .arg(inDump.first)
                                 .arg(inDump.second);
            if (modifiers == Qt::NoModifier && !hadSelection && key == Qt::Key_Right &&
                m_box.cursorPosition() != ref.next(ref.position))
                return did + QStringLiteral(": not one character on");
            if (modifiers == Qt::NoModifier && !hadSelection && key == Qt::Key_Left &&
                m_box.cursorPosition() != ref.previous(ref.position))
                return did + QStringLiteral(": not one character back");
            ref.anchor = m_box.anchorPosition();
            ref.position = m_box.cursorPosition();
            break;
        }
        case 14: {
            QPoint point(int(m_random(quint32(m_box.viewport()->width()))),
                         int(m_random(quint32(m_box.viewport()->height()))));
            // In the dump, now and then a click inside a character's cell,
            // by its left or its right edge: the caret goes to the nearer.
            qsizetype nearest = -1;
            if (dump && m_random(2)) {
                const std::vector<qsizetype> cells = cellStarts();
                const size_t cell = m_random(quint32(cells.size()));
                const bool right = m_random(2);
                m_box.ensureVisible(cells[cell]);
                const QRect rect = m_box.characterRect(cells[cell]);
                point = QPoint(right ? rect.right() : rect.left() + 1, rect.center().y());
                nearest = ref.snap(cells[qMin(cell + (right ? 1 : 0), cells.size() - 1)]);
            }
            const quint32 clicks = m_random(3);
            did =
                QStringLiteral("%1 clicks at %2,%3").arg(clicks + 1).arg(point.x()).arg(point.y());
            QTest::mouseClick(m_box.viewport(), Qt::LeftButton, Qt::NoModifier, point);
            if (clicks > 0)
                QTest::mouseDClick(m_box.viewport(), Qt::LeftButton, Qt::NoModifier, point);
            if (clicks > 1)
                QTest::mouseClick(m_box.viewport(), Qt::LeftButton, Qt::NoModifier, point);
            // (Unless taken for the third click after a double click there.)
            if (nearest >= 0 && clicks == 0 && !m_box.hasSelection() &&
                m_box.cursorPosition() != nearest)
                return did + QStringLiteral(": placed the caret at %1 in the dump, not %2")
                                 .arg(m_box.cursorPosition())
                                 .arg(nearest);
            ref.anchor = m_box.anchorPosition();
            ref.position = m_box.cursorPosition();
            // Triple-click selects one line at most: nothing breaks it before its end.
            const QString selected = ref.selected();
            for (qsizetype i = 0; clicks == 2 && i < selected.size(); ++i) {
                const int lineEnd = WireReference::lineEndAt(selected, i);
                if (lineEnd && i + lineEnd != selected.size())
                    return did + QStringLiteral(": selected more than a line: ") + show(selected);
            }
            break;
        }
        case 15:
            if (m_random(4) == 0) {
                did = QStringLiteral("clear");
                m_box.setText(QString());
                ref.setText(QString());
            } else {
                const QString text = randomText();
                did = QStringLiteral("set %1").arg(show(text));
                m_box.setText(text);
                ref.setText(text);
            }
            break;
        case 16:
            did = QStringLiteral("undo");
            QTest::keyClick(&m_box, Qt::Key_Z, Qt::ControlModifier);
            if (!dump)
                ref.undo();
            break;
        default:
            did = QStringLiteral("redo");
            QTest::keyClick(&m_box, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            if (!dump)
                ref.redo();
            break;
        }
        if (qEnvironmentVariableIsSet("TAPWIRE_TRACE"))
            qDebug("%s", qPrintable(did));
        return check(did);
    }

private:
    QString check(const QString &did)
    {
        const Did describe(nullptr, did);
        if (!m_box.isHexShown())
            return differences(m_box.document(), m_box.rows(), m_box.metrics(), m_reference,
                               m_referenceRows, describe);
        if (const QString text = textDifferences(m_box.document(), m_reference, describe);
            !text.isEmpty())
            return text;
        // Each row of the dump starts sixteen of the reference's cells on.
        const std::vector<qsizetype> cells = cellStarts();
        const HexRows &rows = m_box.hexRows();
        bool same = rows.cellCount() == qsizetype(cells.size()) - 1 &&
                    rows.rowCount() == rows.cellCount() / 16 + 1;
        for (qsizetype row = 0; same && row < rows.rowCount(); ++row)
            same = rows.rowStart(row) == cells[size_t(row * 16)];
        if (!same)
            return QStringLiteral("after %1: the dump's rows are not sixteen cells each of %2")
                .arg(did, show(m_reference.text));
        return QString();
    }

    // Where each cell of the reference starts (a surrogate pair is one cell),
    // then its end.
    std::vector<qsizetype> cellStarts() const
    {
        std::vector<qsizetype> starts;
        const QString &text = m_reference.text;
        for (qsizetype at = 0; at < text.size(); ++at) {
            if (!(at > 0 && text[at - 1].isHighSurrogate() && text[at].isLowSurrogate()))
                starts.push_back(at);
        }
        starts.push_back(text.size());
        return starts;
    }

    // The anchor and caret a key leaves in the dump; -1, -1 for a move by
    // words, which the dump leaves to the text's rules.
    using Selection = QPair<qsizetype, qsizetype>;
    Selection dumpKey(Qt::Key key, Qt::KeyboardModifiers modifiers) const
    {
        using CaretMoves::Move;
        const WireReference &ref = m_reference;
        const QKeyEvent event(QEvent::KeyPress, key, modifiers);
        const std::optional<KeyMoves::KeyMove> keyMove = KeyMoves::moveFor(&event);
        if (!keyMove) {
            if (event.matches(QKeySequence::SelectAll))
                return qMakePair(qsizetype(0), ref.text.size());
            return qMakePair(ref.anchor, ref.position); // typing, or nothing at all
        }
        const std::vector<qsizetype> cells = cellStarts();
        const qsizetype lastCell = qsizetype(cells.size()) - 1;
        const auto positionOf = [&](qsizetype cell) {
            return cells[size_t(qBound<qsizetype>(0, cell, lastCell))];
        };
        const qsizetype cell =
            std::lower_bound(cells.begin(), cells.end(), ref.position) - cells.begin();
        const qsizetype page = m_box.verticalScrollBar()->pageStep() * 16;
        const bool collapse = ref.anchor != ref.position && !keyMove->select;
        qsizetype target = ref.position;
        switch (keyMove->move) {
        case Move::NextChar:
            target = collapse ? ref.selectionEnd() : ref.next(ref.position);
            break;
        case Move::PreviousChar:
            target = collapse ? ref.selectionStart() : ref.previous(ref.position);
            break;
        case Move::NextWord:
        case Move::PreviousWord:
            return {-1, -1};
        case Move::NextRow:
        case Move::PreviousRow:
            target = positionOf(cell + (keyMove->move == Move::NextRow ? 16 : -16));
            break;
        case Move::NextPage:
        case Move::PreviousPage:
            target = positionOf(cell + (keyMove->move == Move::NextPage ? page : -page));
            break;
        case Move::RowStart:
        case Move::LineStart:
            target = positionOf(cell / 16 * 16);
            break;
        case Move::RowEnd:
        case Move::LineEnd:
            // The row's last cell; the end of the text on the last row.
            target = cell / 16 == lastCell / 16 ? ref.text.size() : positionOf(cell / 16 * 16 + 15);
            break;
        case Move::DocumentStart:
            target = 0;
            break;
        case Move::DocumentEnd:
            target = ref.text.size();
            break;
        }
        target = ref.snap(target);
        return qMakePair(keyMove->select ? ref.anchor : target, target);
    }

    QString randomText() { return randomWireText(m_random); }
    static QString show(const QString &text) { return showText(text); }

    WireTextEdit &m_box;
    Random &m_random;
    bool m_showsDump = false;
    WireReference m_reference;
    ReferenceRows m_referenceRows;
};
