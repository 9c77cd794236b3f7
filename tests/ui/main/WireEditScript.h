#pragma once

// Drives a WireTextEdit through random operations, the way a user and a peer
// would, and checks after each one that the box holds exactly what a plain
// reference string holds after the same operation. Used by the differential
// test (seeded) and by the fuzz target (driven by the fuzz input).
//
// The reference's rules:
// - The text is a plain string; the box must hold exactly it.
// - A position is never between the CR and LF of a pair, nor between the two
//   halves of a surrogate pair: a position there moves back one.
// - An append adds at the end; a caret or anchor at the end moves with it.
// - Typing, Enter, paste and an input method's text replace the selection;
//   the caret ends after the new text. Enter inserts CR LF. Text dropped from
//   elsewhere goes in where it is dropped and ends up selected.
// - Backspace and Delete remove the selection, or else one character before
//   or after the caret, where a CR LF pair, a lone CR, a lone LF and a
//   surrogate pair are one character each.
// - Cut copies the selection and removes it; copy leaves the text alone and
//   puts exactly the selection on the clipboard.
// - Clear and setting the text replace everything, put the caret at 0 and
//   forget the undo history.
// - Undo (outgoing box only) takes back one step: one edit, or characters
//   typed one after another, each right after the one before. It restores
//   the text and selection from before the step; redo restores the text after
//   it, with the caret after it.
// - Moving the caret (keys, clicks) never changes the text.

#include "LineEnds.h"
#include "WireLayout.h"
#include "WireText.h"
#include "WireTextEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>

#include <vector>

class WireReference
{
public:
    QString text;
    qsizetype anchor = 0;
    qsizetype position = 0;
    bool undoEnabled = true;

    qsizetype selectionStart() const { return qMin(anchor, position); }
    qsizetype selectionEnd() const { return qMax(anchor, position); }
    QString selected() const
    {
        return text.mid(selectionStart(), selectionEnd() - selectionStart());
    }

    qsizetype snap(qsizetype at) const { return WireText::snapBack(text, at); }

    void append(const QString &piece)
    {
        const qsizetype end = text.size();
        text += piece;
        if (anchor == end)
            anchor = text.size();
        if (position == end)
            position = text.size();
        anchor = snap(anchor);
        position = snap(position);
    }
    void setText(const QString &newText)
    {
        text = newText;
        anchor = position = 0;
        m_undo.clear();
        m_redo.clear();
        m_typing = false;
    }
    // Replaces [from, to) as a user edit would.
    void replace(qsizetype from, qsizetype to, const QString &with, bool typed = false)
    {
        if (from == to && with.isEmpty())
            return;
        const Step before{text, anchor, position, {}, 0};
        text.replace(from, to - from, with);
        anchor = position = snap(from + with.size());
        if (!undoEnabled)
            return;
        m_redo.clear();
        const bool merge = typed && m_typing && from == to && from == m_typedEnd;
        if (!merge)
            m_undo.push_back(before);
        m_undo.back().textAfter = text;
        m_undo.back().caretAfter = position;
        m_typing = typed;
        m_typedEnd = from + with.size();
    }
    void replaceSelection(const QString &with, bool typed = false)
    {
        replace(selectionStart(), selectionEnd(), with, typed);
    }
    void removeOr(qsizetype from, qsizetype to)
    {
        if (anchor != position)
            replaceSelection(QString());
        else
            replace(from, to, QString());
    }
    void undo()
    {
        if (!undoEnabled || m_undo.empty())
            return;
        m_redo.push_back(m_undo.back());
        m_undo.pop_back();
        text = m_redo.back().textBefore;
        anchor = m_redo.back().anchorBefore;
        position = m_redo.back().positionBefore;
        m_typing = false;
    }
    void redo()
    {
        if (!undoEnabled || m_redo.empty())
            return;
        m_undo.push_back(m_redo.back());
        m_redo.pop_back();
        text = m_undo.back().textAfter;
        anchor = position = m_undo.back().caretAfter;
        m_typing = false;
    }

private:
    struct Step
    {
        QString textBefore;
        qsizetype anchorBefore;
        qsizetype positionBefore;
        QString textAfter;
        qsizetype caretAfter;
    };
    std::vector<Step> m_undo;
    std::vector<Step> m_redo;
    bool m_typing = false;
    qsizetype m_typedEnd = -1;
};

// `Random` gives a number below its argument.
template <typename Random> class WireEditScript
{
public:
    WireEditScript(WireTextEdit &box, Random &random) : m_box(box), m_random(random)
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
            ref.replaceSelection(typed, typed.size() == 1);
            break;
        }
        case 4:
            did = QStringLiteral("Enter");
            QTest::keyClick(&m_box, m_random(2) ? Qt::Key_Return : Qt::Key_Enter);
            ref.replaceSelection(QStringLiteral("\r\n"));
            break;
        case 5:
            did = QStringLiteral("Backspace");
            QTest::keyClick(&m_box, Qt::Key_Backspace);
            ref.removeOr(WireText::previousBoundary(ref.text, ref.position), ref.position);
            break;
        case 6:
            did = QStringLiteral("Delete");
            QTest::keyClick(&m_box, Qt::Key_Delete);
            ref.removeOr(ref.position, WireText::nextBoundary(ref.text, ref.position));
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
                if (pasted.isEmpty())
                    break; // nothing to drop
                ref.replace(snapped, snapped, pasted);
                ref.anchor = ref.snap(snapped);
                ref.position = ref.snap(snapped + pasted.size());
                break;
            }
            did = QStringLiteral("paste %1").arg(show(pasted));
            QApplication::clipboard()->setText(pasted);
            QTest::keyClick(&m_box, Qt::Key_V, Qt::ControlModifier);
            ref.replaceSelection(pasted);
            break;
        }
        case 8:
        case 9: {
            const bool cut = operation == 8;
            did = cut ? QStringLiteral("cut") : QStringLiteral("copy");
            QApplication::clipboard()->clear();
            QTest::keyClick(&m_box, cut ? Qt::Key_X : Qt::Key_C, Qt::ControlModifier);
            // Exactly the selection goes to the clipboard.
            if (ref.anchor != ref.position && QApplication::clipboard()->text() != ref.selected())
                return QStringLiteral("%1 put %2 on the clipboard, not %3")
                    .arg(did, show(QApplication::clipboard()->text()), show(ref.selected()));
            if (cut)
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
            static const Qt::Key keys[] = {Qt::Key_Left,   Qt::Key_Right,   Qt::Key_Up,
                                           Qt::Key_Down,   Qt::Key_Home,    Qt::Key_End,
                                           Qt::Key_PageUp, Qt::Key_PageDown};
            const Qt::Key key = keys[m_random(8)];
            Qt::KeyboardModifiers modifiers;
            if (m_random(2))
                modifiers |= Qt::ShiftModifier;
            if (m_random(3) == 0)
                modifiers |= Qt::ControlModifier;
            did = QStringLiteral("key %1 with %2").arg(int(key)).arg(int(modifiers));
            const bool hadSelection = ref.anchor != ref.position;
            QTest::keyClick(&m_box, key, modifiers);
            if (modifiers == Qt::NoModifier && !hadSelection && key == Qt::Key_Right &&
                m_box.cursorPosition() != WireText::nextBoundary(ref.text, ref.position))
                return did + QStringLiteral(": not one character on");
            if (modifiers == Qt::NoModifier && !hadSelection && key == Qt::Key_Left &&
                m_box.cursorPosition() != WireText::previousBoundary(ref.text, ref.position))
                return did + QStringLiteral(": not one character back");
            ref.anchor = m_box.anchorPosition();
            ref.position = m_box.cursorPosition();
            break;
        }
        case 14: {
            const QPoint point(int(m_random(quint32(m_box.viewport()->width()))),
                               int(m_random(quint32(m_box.viewport()->height()))));
            const quint32 clicks = m_random(3);
            did =
                QStringLiteral("%1 clicks at %2,%3").arg(clicks + 1).arg(point.x()).arg(point.y());
            QTest::mouseClick(m_box.viewport(), Qt::LeftButton, Qt::NoModifier, point);
            if (clicks > 0)
                QTest::mouseDClick(m_box.viewport(), Qt::LeftButton, Qt::NoModifier, point);
            if (clicks > 1)
                QTest::mouseClick(m_box.viewport(), Qt::LeftButton, Qt::NoModifier, point);
            ref.anchor = m_box.anchorPosition();
            ref.position = m_box.cursorPosition();
            // Triple-click selects one line at most: nothing breaks it before its end.
            const QString selected = ref.selected();
            for (qsizetype i = 0; clicks == 2 && i < selected.size(); ++i) {
                const int lineEnd = LineEnds::lengthAt(selected, i);
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
            ref.undo();
            break;
        default:
            did = QStringLiteral("redo");
            QTest::keyClick(&m_box, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            ref.redo();
            break;
        }
        if (qEnvironmentVariableIsSet("TAPWIRE_TRACE"))
            qDebug("%s", qPrintable(did));
        return check(did);
    }

private:
    QString check(const QString &did) const
    {
        const WireReference &ref = m_reference;
        if (m_box.text() != ref.text)
            return QStringLiteral("after %1: the box holds %2, the reference %3")
                .arg(did, show(m_box.text()), show(ref.text));
        if (m_box.cursorPosition() != ref.position || m_box.anchorPosition() != ref.anchor)
            return QStringLiteral("after %1: selection %2..%3, the reference %4..%5 in %6")
                .arg(did)
                .arg(m_box.anchorPosition())
                .arg(m_box.cursorPosition())
                .arg(ref.anchor)
                .arg(ref.position)
                .arg(show(ref.text));
        if (!WireText::isBoundary(ref.text, ref.position) ||
            !WireText::isBoundary(ref.text, ref.anchor))
            return QStringLiteral("after %1: the caret stands inside a pair").arg(did);
        // The rows kept up to date edit by edit are the rows of the whole
        // text, as far as they are known yet.
        const WireLayout &rows = m_box.rows();
        WireLayout fresh;
        fresh.setGeometry(&m_box.metrics(), rows.width());
        fresh.relayout(ref.text);
        bool same = rows.isComplete() ? fresh.rowCount() == rows.rowCount()
                                      : fresh.rowCount() >= rows.knownRows();
        for (qsizetype row = 0; same && row < rows.knownRows(); ++row)
            same = fresh.rowStart(row) == rows.rowStart(row);
        if (!same)
            return QStringLiteral("after %1: the rows differ from a fresh layout of %2")
                .arg(did, show(ref.text));
        return QString();
    }

    QString randomText()
    {
        static const QString alphabet = QStringLiteral("ab \r\n\r\n\t\x01\x7F\u00A0\u00AD\u20AC");
        QString text;
        const quint32 length = m_random(5) == 0 ? 20 + m_random(120) : m_random(6);
        for (quint32 i = 0; i < length; ++i) {
            if (m_random(40) == 0)
                text += QStringLiteral("\U0001F600");
            else
                text += alphabet[m_random(quint32(alphabet.size()))];
        }
        return text;
    }

    static QString show(const QString &text)
    {
        QString shown;
        for (const QChar c : text)
            shown += c.unicode() < 0x20 || c.unicode() > 0x7E
                         ? QStringLiteral("\\x%1").arg(c.unicode(), 0, 16)
                         : QString(c);
        return QLatin1Char('"') + shown + QLatin1Char('"');
    }

    WireTextEdit &m_box;
    Random &m_random;
    WireReference m_reference;
};
