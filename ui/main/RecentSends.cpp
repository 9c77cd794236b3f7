#include "RecentSends.h"

#include "WireTextEdit.h"

#include <QKeyEvent>
#include <QMenu>

RecentSends::RecentSends(WireTextEdit *box, QWidget *window) : QObject(window), m_box(box)
{
    m_menu = new QMenu(tr("Recent &Sends"), window);
    m_menu->menuAction()->setEnabled(false);
    connect(m_menu, &QMenu::aboutToShow, this, &RecentSends::fillMenu);
    box->installEventFilter(this);
    connect(box, &WireTextEdit::textChanged, this, [this] {
        if (!m_recalling)
            endWalk();
    });
}

void RecentSends::remember(const QList<QByteArray> &pieces)
{
    m_history.remember(pieces);
    m_menu->menuAction()->setEnabled(m_history.count() > 0);
    endWalk();
}

void RecentSends::recallOlder()
{
    if (m_shown + 1 < m_history.count())
        recall(m_shown + 1);
}

void RecentSends::recallNewer()
{
    if (m_shown > 0) {
        recall(m_shown - 1);
    } else if (m_shown == 0) {
        replaceText(m_draftBytes, m_draftText);
        endWalk();
    }
}

void RecentSends::recall(qsizetype index)
{
    if (index < 0 || index >= m_history.count())
        return;
    if (m_shown < 0)
        keepDraft();
    replaceText(m_history.pieces(index), QString());
    m_shown = index;
}

void RecentSends::keepDraft()
{
    const WireDocument &text = m_box->document();
    if (text.forEachBytePiece(
            0, text.size(), [this](const QByteArray &bytes) { m_draftBytes.append(bytes); }) >= 0) {
        m_draftBytes.clear();
        m_draftText = text.text(0, text.size());
    }
}

void RecentSends::replaceText(const QList<QByteArray> &pieces, const QString &text)
{
    m_recalling = true;
    if (text.isEmpty())
        m_box->replaceAllWithBytes(pieces);
    else
        m_box->replaceRange(0, m_box->textLength(), text);
    m_recalling = false;
    m_box->setCursorPosition(m_box->textLength());
    m_box->ensureVisible(m_box->textLength());
}

void RecentSends::endWalk()
{
    m_shown = -1;
    m_draftBytes.clear();
    m_draftText.clear();
}

void RecentSends::fillMenu()
{
    m_menu->clear();
    for (qsizetype index = 0; index < m_history.count(); ++index) {
        connect(m_menu->addAction(m_history.label(index)), &QAction::triggered, this,
                [this, index] { recall(index); });
    }
}

bool RecentSends::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_box && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier &&
            (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            if (key->key() == Qt::Key_Up)
                recallOlder();
            else
                recallNewer();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
