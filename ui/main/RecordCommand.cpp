#include "RecordCommand.h"

#include "ErrorReport.h"
#include "SessionController.h"
#include "WireTextEdit.h"

#include <QAction>
#include <QFileDialog>

namespace {

// S: R is Redo's.
QString itemText(bool recording)
{
    return recording ? RecordCommand::tr("&Stop Recording")
                     : RecordCommand::tr("Record &Session...");
}

} // namespace

RecordCommand::RecordCommand(WireTextEdit *transcript, SessionController *session, QWidget *window)
    : QObject(window), m_session(session), m_window(window),
      m_action(new QAction(itemText(false), this))
{
    connect(m_action, &QAction::triggered, this, ErrorReport::guarded([this] {
                if (m_session->recorder().isRecording())
                    m_session->stopRecording();
                else
                    recordSessionAs();
            }));
    connect(&session->recorder(), &SessionRecorder::recordingChanged, m_action,
            [this](bool recording) { m_action->setText(itemText(recording)); });
    transcript->addContextAction(m_action);
}

void RecordCommand::recordSessionAs()
{
    const QString path = QFileDialog::getSaveFileName(m_window, tr("Record Session"), QString(),
                                                      tr("Captures (*.pcapng);;All files (*)"));
    if (!path.isEmpty())
        m_session->startRecording(path);
}
