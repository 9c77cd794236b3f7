#include "WireTextEdit.h"

#include "WireText.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

WireTextEdit::WireTextEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab moves between controls, as in the rest of the window.
    setTabChangesFocus(true);
    // Any edit the user makes may break a CR LF that was split across appends.
    connect(document(), &QTextDocument::contentsChange, this, [this] {
        if (!m_appending)
            m_crPending = false;
    });
}

QString WireTextEdit::text() const
{
    return exactText(0, document()->characterCount() - 1);
}

void WireTextEdit::setText(const QString &text)
{
    document()->clear();
    m_crPending = false;
    appendText(text);
}

void WireTextEdit::appendText(const QString &piece)
{
    if (piece.isEmpty())
        return;
    QScrollBar *scrollBar = verticalScrollBar();
    const bool followEnd = scrollBar->value() == scrollBar->maximum();

    QStringView rest = piece;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    m_appending = true;
    if (m_crPending && rest.front() == u'\n') {
        // The CR shown at the end of the previous line was the first half of a
        // CR LF: drop its symbol and let the line break stand for both.
        cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::MoveAnchor, 2);
        cursor.deleteChar();
        cursor.movePosition(QTextCursor::End);
        rest = rest.mid(1);
    }
    m_crPending = !rest.isEmpty() && rest.back() == u'\r';
    if (!rest.isEmpty())
        cursor.insertText(displayText(rest, document()->lastBlock().length() - 1));
    m_appending = false;

    if (followEnd)
        scrollBar->setValue(scrollBar->maximum());
}

QString WireTextEdit::displayText(QStringView exact, int column)
{
    QString shown;
    shown.reserve(exact.size() + exact.size() / WireText::maxBlockLength + 16);
    const qsizetype size = exact.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = exact[i];
        if (c == u'\r') {
            if (i + 1 < size && exact[i + 1] == u'\n') {
                ++i;
            } else {
                shown += QChar(WireText::crSymbol);
            }
            shown += u'\n';
            column = 0;
        } else if (c == u'\n') {
            shown += QChar(WireText::lfSymbol);
            shown += u'\n';
            column = 0;
        } else {
            if (column >= WireText::maxBlockLength) {
                shown += QChar(WireText::splitMarker);
                shown += u'\n';
                column = 0;
            }
            shown += WireText::shown(c);
            ++column;
        }
    }
    return shown;
}

QString WireTextEdit::exactText(int from, int to) const
{
    QString exact;
    if (to <= from)
        return exact;
    exact.reserve(to - from);
    for (QTextBlock block = document()->findBlock(from); block.isValid(); block = block.next()) {
        const int start = block.position();
        if (start >= to)
            break;
        const QString shown = block.text();
        const int first = qMax(from, start) - start;
        const int last = qMin<int>(to - start, shown.size());
        for (int i = first; i < last; ++i)
            WireText::appendExact(exact, shown[i]);
        // The block's own line break lies just past its text.
        const bool breakSelected = to > start + shown.size() && block.next().isValid();
        if (breakSelected && (shown.isEmpty() || !WireText::endsWithoutCrLf(shown.back())))
            exact += QStringLiteral("\r\n");
    }
    return exact;
}

void WireTextEdit::keyPressEvent(QKeyEvent *event)
{
    // A line break typed here is CR LF, whatever modifier is held with Enter.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!isReadOnly())
            textCursor().insertBlock();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

QMimeData *WireTextEdit::createMimeDataFromSelection() const
{
    const QTextCursor cursor = textCursor();
    auto *data = new QMimeData;
    data->setText(exactText(cursor.selectionStart(), cursor.selectionEnd()));
    return data;
}

void WireTextEdit::insertFromMimeData(const QMimeData *source)
{
    if (!source->hasText())
        return;
    QTextCursor cursor = textCursor();
    const int column = cursor.positionInBlock();
    cursor.insertText(displayText(source->text(), column));
    setTextCursor(cursor);
}
