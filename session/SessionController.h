#pragma once

#include "ControlStates.h"
#include "EndpointState.h"
#include "SessionClock.h"
#include "SessionRecorder.h"
#include "TranscriptLimit.h"

#include <QByteArray>
#include <QList>
#include <QObject>

class QAbstractButton;
class QAction;
class QLineEdit;
class SocketEndpoint;
class TextArea;

// The window's controls that a session reads and sets.
struct SessionControls
{
    QAbstractButton *cmdListen = nullptr;
    QAbstractButton *cmdConnect = nullptr;
    QAbstractButton *cmdClose = nullptr;
    QAbstractButton *cmdSendData = nullptr;
    QAbstractButton *cmdSendDataC = nullptr;
    QAbstractButton *cmdRecvDataC = nullptr;
    QLineEdit *txtAddress = nullptr;
    QLineEdit *txtPort = nullptr;
    TextArea *txtSendData = nullptr;
    TextArea *txtRecvData = nullptr;
    // Start TLS, in both boxes' menus and under the window's shortcut.
    QAction *mnuStartTLS = nullptr;
};

// Turns the user's clicks into operations on the window's one endpoint, and the
// endpoint's events into transcript lines, and into a recording while one is
// made. It keeps no state of its own but its clock, the transcript's limit
// and the recorder: everything else is read from the controls and the
// endpoint when it is needed. Every handler runs its steps
// in order and stops at the first that fails.
class SessionController : public QObject
{
    Q_OBJECT

public:
    SessionController(const SessionControls &controls, SocketEndpoint *endpoint,
                      QObject *parent = nullptr);

    // Reading pauses once the transcript holds this many characters, and
    // resumes once Clear or an edit leaves it 1 MiB under (TranscriptLimit).
    void setTranscriptLimit(qint64 characters) { m_transcriptLimit = characters; }

    // Records what crosses the wire into `path` until stopped, starting with
    // the session in hand; throws when the file cannot be opened for writing.
    void startRecording(const QString &path);
    void stopRecording();
    const SessionRecorder &recorder() const { return m_recorder; }

    void cmdListen_Click();
    void cmdConnect_Click();
    void cmdClose_Click();
    void cmdSendData_Click();
    void cmdSendDataC_Click();
    void cmdRecvDataC_Click();
    void mnuStartTLS_Click();

    void wskWinSock_Connect();
    void wskWinSock_ConnectionRequest(int requestId);
    void wskWinSock_DataArrival(int bytesTotal);
    void wskWinSock_Close();
    void wskWinSock_TlsStarted();
    void wskWinSock_TlsEndedWithoutCloseNotify();
    void wskWinSock_StateChanged();
    void wskWinSock_DataNotSent(const QString &address, int port, qint64 bytes);
    void wskWinSock_DataSent(quint64 connection, QByteArrayView bytes);
    void wskWinSock_ConnectionEnded(quint64 connection, EndpointState::Ending ending,
                                    const QString &why);

    void ShowSessionState();
    void ShowIdleState();
    void ValidateEntries();
    void txtAddress_Change();
    void txtPort_Change();

signals:
    // Send Data took the outgoing text, as these bytes in the code page, and
    // nothing refuses it any more: it goes out now, or once a handshake ends.
    void textSent(const QList<QByteArray> &bytes);

private:
    void connectHandlers();
    void applyStates(const ControlStates::Controls &states);
    void appendToTranscript(const QString &piece);
    QString peerText() const;
    qint64 transcriptUse() const;
    void resumeReadingIfRoom();
    void pauseReadingIfFull();
    void recordOpened(const QString &comment = {});

    SessionControls m_controls;
    SocketEndpoint *m_endpoint = nullptr;
    qint64 m_transcriptLimit = TranscriptLimit::fromMemory(TranscriptLimit::systemMemory());
    // When each piece was read and each status line shown, and so when each
    // packet of a recording was.
    SessionClock m_clock;
    SessionRecorder m_recorder;
};
