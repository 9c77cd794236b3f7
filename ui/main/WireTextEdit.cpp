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
    m_showTimer.setSingleShot(true);
    connect(&m_showTimer, &QTimer::timeout, this, &WireTextEdit::showPending);
}

QString WireTextEdit::text() const
{
    // What waits to be shown follows what is shown, character for character.
    return exactText(0, document()->characterCount() - 1) + m_pending;
}

void WireTextEdit::setText(const QString &text)
{
    m_showTimer.stop();
    m_pending.clear();
    document()->clear();
    m_crPending = false;
    showPiece(text);
    m_sinceShown.start();
}

void WireTextEdit::appendText(const QString &piece)
{
    if (piece.isEmpty())
        return;
    const bool idle = m_pending.isEmpty() && m_sinceShown.isValid() &&
                      m_sinceShown.elapsed() >= WireText::gatherMs;
    if (idle || !m_sinceShown.isValid()) {
        showPiece(piece);
        m_sinceShown.start();
        return;
    }
    // A peer is flooding: gather pieces and show them together, so the box is
    // laid out and painted a few dozen times a second rather than per piece.
    m_pending += piece;
    // Never gather so much that showing it would hold the UI thread up.
    if (m_pending.size() >= WireText::maxGatherChars) {
        showPending();
        return;
    }
    if (!m_showTimer.isActive())
        m_showTimer.start(int(qMax<qint64>(0, WireText::gatherMs - m_sinceShown.elapsed())));
}

void WireTextEdit::showPending()
{
    m_showTimer.stop();
    if (!m_pending.isEmpty())
        showPiece(std::exchange(m_pending, QString()));
    m_sinceShown.start();
}

void WireTextEdit::showPiece(QStringView piece)
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
        cursor.insertText(WireText::toShown(rest, document()->lastBlock().length() - 1));
    m_appending = false;

    if (followEnd)
        scrollBar->setValue(scrollBar->maximum());
}

QString WireTextEdit::exactText(int from, int to) const
{
    if (to <= from)
        return QString();
    // A shown character stands for at most two exact ones (a break for CR LF).
    QString exact(2 * qsizetype(to - from), Qt::Uninitialized);
    char16_t *const begin = reinterpret_cast<char16_t *>(exact.data());
    char16_t *out = begin;
    for (QTextBlock block = document()->findBlock(from); block.isValid(); block = block.next()) {
        const int start = block.position();
        if (start >= to)
            break;
        const QString shown = block.text();
        const int first = qMax(from, start) - start;
        const int last = qMin<int>(to - start, shown.size());
        if (first < last) {
            const char16_t previous = first > 0 ? shown[first - 1].unicode() : 0;
            out = WireText::writeExact(out, QStringView(shown).mid(first, last - first), previous);
        }
        // The block's own break lies just past its text.
        const bool breakSelected = to > start + shown.size() && block.next().isValid();
        const char16_t beforeBreak = shown.isEmpty() ? 0 : shown.back().unicode();
        if (breakSelected && !WireText::breakStandsAlone(beforeBreak)) {
            *out++ = u'\r';
            *out++ = u'\n';
        }
    }
    exact.truncate(out - begin);
    return exact;
}

void WireTextEdit::keyPressEvent(QKeyEvent *event)
{
    // What arrived before the key goes before what it types.
    showPending();
    // A line break typed here is CR LF, whatever modifier is held with Enter.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!isReadOnly())
            textCursor().insertText(QString(QChar(WireText::lineSeparator)));
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
    showPending();
    QTextCursor cursor = textCursor();
    const int column = cursor.positionInBlock();
    cursor.insertText(WireText::toShown(source->text(), column));
    setTextCursor(cursor);
}
