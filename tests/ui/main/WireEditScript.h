#pragma once

// Drives a WireTextEdit through random operations, the way a user and a peer
// would, through its own keys, clicks, drops and input methods, and checks
// after each one that the box holds exactly what the reference holds after
// the same operation (WireReference.h). The document behind it is checked at
// length with no widget (DocumentScript.h); this covers what each input
// turns into.

#include "DocumentScript.h"
#include "WireTextEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>

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
            ref.removeOr(ref.previous(ref.position), ref.position);
            break;
        case 6:
            did = QStringLiteral("Delete");
            QTest::keyClick(&m_box, Qt::Key_Delete);
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
        return differences(m_box.document(), m_box.rows(), m_box.metrics(), m_reference, did);
    }

    QString randomText() { return randomWireText(m_random); }
    static QString show(const QString &text) { return showText(text); }

    WireTextEdit &m_box;
    Random &m_random;
    WireReference m_reference;
};
