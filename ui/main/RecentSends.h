#pragma once

#include "SendHistory.h"

#include <QObject>

class QMenu;
class QWidget;
class WireTextEdit;

// Recalling what was sent into the outgoing box. Alt+Up puts the send before
// the one shown in the box (the newest first), Alt+Down the one after it, and
// past the newest what the box held before the first Alt+Up; "Recent &Sends"
// in the box's menu puts any of them there. Each recall replaces the box's
// text as one step for undo. Any other change to the box ends the walk: the
// next Alt+Up starts again from the newest. Nothing is put in the box unless
// the user asks.
class RecentSends : public QObject
{
    Q_OBJECT

public:
    RecentSends(WireTextEdit *box, QWidget *window);

    const SendHistory &history() const { return m_history; }
    // The submenu for the box's context menu.
    QMenu *menu() const { return m_menu; }

    // A send went out: it is kept, and the walk ends.
    void remember(const QList<QByteArray> &pieces);
    // Alt+Up and Alt+Down.
    void recallOlder();
    void recallNewer();
    // The send `index` places back from the newest.
    void recall(qsizetype index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void keepDraft();
    void replaceText(const QList<QByteArray> &pieces, const QString &text);
    void endWalk();
    void fillMenu();

    WireTextEdit *m_box = nullptr;
    QMenu *m_menu = nullptr;
    SendHistory m_history;
    // The send the box shows by a recall; -1 while it shows anything else.
    qsizetype m_shown = -1;
    // What the box held before the walk began: its bytes when every character
    // has one (sharing the box's blocks), or else its text.
    QList<QByteArray> m_draftBytes;
    QString m_draftText;
    bool m_recalling = false;
};
