#include "WireTextEdit.h"

#include "WireText.h"

namespace {
// Marks characters the user put in that look like the box's own symbols.
constexpr int literalProperty = QTextFormat::UserProperty + 1;
} // namespace

#include <QKeyEvent>
#include <QTextCursor>

#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

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
    m_hasLiterals = false;
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
        // Plain format: data never takes on the mark of a literal before it.
        cursor.insertText(WireText::toShown(rest, document()->lastBlock().length() - 1),
                          QTextCharFormat());
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
        const int first = qMax(from, start) - start;
        const int last = qMin(to - start, block.length() - 1);
        char16_t beforeBreak = 0;
        out = m_hasLiterals ? writeBlockWithLiterals(out, block, first, last, beforeBreak)
                            : writeBlock(out, block.text(), first, last, beforeBreak);
        // The block's own break lies just past its text.
        const bool breakSelected = to >= start + block.length() && block.next().isValid();
        if (breakSelected && !WireText::breakStandsAlone(beforeBreak)) {
            *out++ = u'\r';
            *out++ = u'\n';
        }
    }
    exact.truncate(out - begin);
    return exact;
}

char16_t *WireTextEdit::writeBlock(char16_t *out, const QString &shown, int first, int last,
                                   char16_t &beforeBreak)
{
    if (first < last) {
        const char16_t previous = first > 0 ? shown[first - 1].unicode() : 0;
        out = WireText::writeExact(out, QStringView(shown).mid(first, last - first), previous);
    }
    beforeBreak = shown.isEmpty() ? 0 : shown.back().unicode();
    return out;
}

char16_t *WireTextEdit::writeBlockWithLiterals(char16_t *out, const QTextBlock &block, int first,
                                               int last, char16_t &beforeBreak)
{
    // A literal stands for itself, and a break after it for CR LF.
    char16_t previous = 0;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QString shown = fragment.text();
        const int at = fragment.position() - block.position();
        const bool literal = fragment.charFormat().boolProperty(literalProperty);
        const int a = qMax(first, at) - at;
        const int b = qMin<int>(last - at, shown.size());
        if (a < b) {
            const QStringView part = QStringView(shown).mid(a, b - a);
            if (literal) {
                out = std::copy(part.utf16(), part.utf16() + part.size(), out);
            } else {
                const char16_t before = a > 0 ? shown[a - 1].unicode() : previous;
                out = WireText::writeExact(out, part, before);
            }
        }
        previous = literal || shown.isEmpty() ? 0 : shown.back().unicode();
    }
    beforeBreak = previous;
    return out;
}

void WireTextEdit::insertUserText(QTextCursor &cursor, QStringView exact)
{
    QTextCharFormat literal;
    literal.setProperty(literalProperty, true);
    while (!exact.isEmpty()) {
        qsizetype run = 0;
        while (run < exact.size() && !WireText::isShownForm(exact[run].unicode()))
            ++run;
        if (run > 0) {
            cursor.insertText(WireText::toShown(exact.first(run), cursor.positionInBlock()),
                              QTextCharFormat());
        } else {
            // Each literal goes in as it is, marked so that it reads back as itself.
            while (run < exact.size() && WireText::isShownForm(exact[run].unicode()))
                ++run;
            cursor.insertText(exact.first(run).toString(), literal);
            m_hasLiterals = true;
        }
        exact = exact.sliced(run);
    }
}

void WireTextEdit::keyPressEvent(QKeyEvent *event)
{
    // What arrived before the key goes before what it types.
    showPending();
    // A line break typed here is CR LF, whatever modifier is held with Enter.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!isReadOnly())
            textCursor().insertText(QString(QChar(WireText::lineSeparator)), QTextCharFormat());
        event->accept();
        return;
    }
    const QString typed = event->text();
    const bool typesShownForm = std::any_of(
        typed.begin(), typed.end(), [](QChar c) { return WireText::isShownForm(c.unicode()); });
    if (typesShownForm && !isReadOnly()) {
        QTextCursor cursor = textCursor();
        insertUserText(cursor, typed);
        setTextCursor(cursor);
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
    insertUserText(cursor, source->text());
    setTextCursor(cursor);
}
