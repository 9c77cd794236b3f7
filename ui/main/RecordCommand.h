#pragma once

#include <QObject>

class QAction;
class QWidget;
class SessionController;
class WireTextEdit;

// Record Session, in the transcript's context menu: asks for a pcapng file
// and records the sessions into it, the one in hand first, until the same
// item, now Stop Recording, is chosen (SessionRecorder).
class RecordCommand : public QObject
{
    Q_OBJECT

public:
    RecordCommand(WireTextEdit *transcript, SessionController *session, QWidget *window);

    // Asks for a file and starts recording into it.
    void recordSessionAs();

private:
    SessionController *m_session = nullptr;
    QWidget *m_window = nullptr;
    QAction *m_action = nullptr;
};
