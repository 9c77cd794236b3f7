#include "SessionController.h"

#include "CodePage1252.h"
#include "ControlStates.h"
#include "ErrorReport.h"
#include "PortRule.h"
#include "SocketEndpoint.h"
#include "TextArea.h"
#include "TlsText.h"

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>

#include <new>

namespace {

const QString crlf = QStringLiteral("\r\n");

QString addressAndPort(const QString &address, int port)
{
    return address + QLatin1Char(':') + QString::number(port);
}

QString bytesLine(const QString &what, qint64 bytes)
{
    return QStringLiteral("%1 (%2 BYTES)").arg(what).arg(bytes);
}

} // namespace

SessionController::SessionController(const SessionControls &controls, SocketEndpoint *endpoint,
                                     QObject *parent)
    : QObject(parent), m_controls(controls), m_endpoint(endpoint)
{
    connectHandlers();
}

void SessionController::connectHandlers()
{
    using ErrorReport::guarded;
    const auto onClick = [this](QAbstractButton *button, void (SessionController::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                guarded([this, handler] { (this->*handler)(); }));
    };
    onClick(m_controls.cmdListen, &SessionController::cmdListen_Click);
    onClick(m_controls.cmdConnect, &SessionController::cmdConnect_Click);
    onClick(m_controls.cmdClose, &SessionController::cmdClose_Click);
    onClick(m_controls.cmdSendData, &SessionController::cmdSendData_Click);
    onClick(m_controls.cmdSendDataC, &SessionController::cmdSendDataC_Click);
    onClick(m_controls.cmdRecvDataC, &SessionController::cmdRecvDataC_Click);
    connect(m_controls.mnuStartTLS, &QAction::triggered, this,
            guarded([this] { mnuStartTLS_Click(); }));

    connect(m_controls.txtAddress, &QLineEdit::textChanged, this,
            guarded([this] { txtAddress_Change(); }));
    connect(m_controls.txtPort, &QLineEdit::textChanged, this,
            guarded([this] { txtPort_Change(); }));

    connect(m_endpoint, &SocketEndpoint::connected, this,
            guarded([this] { wskWinSock_Connect(); }));
    connect(m_endpoint, &SocketEndpoint::connectionRequested, this,
            guarded([this](int requestId) { wskWinSock_ConnectionRequest(requestId); }));
    connect(m_endpoint, &SocketEndpoint::dataArrived, this,
            guarded([this](int bytesTotal) { wskWinSock_DataArrival(bytesTotal); }));
    connect(m_endpoint, &SocketEndpoint::peerClosed, this, guarded([this] { wskWinSock_Close(); }));
    connect(m_endpoint, &SocketEndpoint::tlsStarted, this,
            guarded([this] { wskWinSock_TlsStarted(); }));
    connect(m_endpoint, &SocketEndpoint::tlsEndedWithoutCloseNotify, this,
            guarded([this] { wskWinSock_TlsEndedWithoutCloseNotify(); }));
    connect(m_endpoint, &SocketEndpoint::stateChanged, this,
            guarded([this] { wskWinSock_StateChanged(); }));
    connect(m_endpoint, &SocketEndpoint::dataNotSent, this,
            guarded([this](const QString &address, int port, qint64 bytes) {
                wskWinSock_DataNotSent(address, port, bytes);
            }));
    connect(m_endpoint, &SocketEndpoint::dataSent, this,
            guarded([this](quint64 connection, QByteArrayView bytes) {
                wskWinSock_DataSent(connection, bytes);
            }));
    connect(m_endpoint, &SocketEndpoint::connectionEnded, this,
            guarded([this](quint64 connection, EndpointState::Ending ending, const QString &why) {
                wskWinSock_ConnectionEnded(connection, ending, why);
            }));
    wskWinSock_StateChanged();

    // Clear or an edit may make room for reading to go on; asked once the
    // change is over.
    m_controls.txtRecvData->setLengthChanged([this] {
        if (m_endpoint->readingPaused())
            QMetaObject::invokeMethod(
                this, [this] { guarded([this] { resumeReadingIfRoom(); })(); },
                Qt::QueuedConnection);
    });
}

void SessionController::cmdListen_Click()
{
    m_clock.start();
    m_endpoint->Close();
    m_endpoint->setLocalPort(PortRule::portFromText(m_controls.txtPort->text()));
    m_endpoint->Listen();
    ShowSessionState();
}

void SessionController::cmdConnect_Click()
{
    m_clock.start();
    m_endpoint->Close();
    m_endpoint->setRemoteHost(m_controls.txtAddress->text());
    m_endpoint->setRemotePort(PortRule::portFromText(m_controls.txtPort->text()));
    m_endpoint->Connect();
    ShowSessionState();
}

void SessionController::cmdClose_Click()
{
    // What Close discards is counted first: sends held during a handshake,
    // and what waits unread while reading is paused.
    const qint64 held = m_endpoint->heldBytes();
    const qint64 unread = m_endpoint->readingPaused() ? m_endpoint->unreadBytes() : 0;
    m_endpoint->Close();
    if (held > 0)
        appendToTranscript(bytesLine(QStringLiteral("HELD DATA NOT SENT"), held) +
                           QStringLiteral(".") + crlf);
    if (unread > 0)
        appendToTranscript(bytesLine(QStringLiteral("UNREAD DATA DISCARDED"), unread) +
                           QStringLiteral(".") + crlf);
    appendToTranscript(QStringLiteral("CLOSED.") + crlf);
    ShowIdleState();
}

void SessionController::cmdSendData_Click()
{
    // Sending nothing first finds a closed endpoint before anything else is
    // looked at; the whole text is encoded before the first byte goes: all
    // or nothing.
    m_endpoint->SendBytes(QByteArray());
    QList<QByteArray> pieces;
    CodePage1252::encodePieces(*m_controls.txtSendData, 40200, QStringLiteral("sent"),
                               [&pieces](const QByteArray &bytes) { pieces.append(bytes); });
    emit textSent(pieces);
    // Each piece is let go once the socket has it.
    while (!pieces.isEmpty())
        m_endpoint->SendBytes(pieces.takeFirst());
    m_endpoint->EndSend();
}

void SessionController::cmdSendDataC_Click()
{
    m_controls.txtSendData->setText(QString());
}

void SessionController::cmdRecvDataC_Click()
{
    m_controls.txtRecvData->setText(QString());
}

void SessionController::mnuStartTLS_Click()
{
    m_endpoint->StartTLS();
    if (m_endpoint->Tls() == EndpointState::Tls::Armed)
        appendToTranscript(QStringLiteral("TLS ARMED.") + crlf);
}

void SessionController::wskWinSock_Connect()
{
    appendToTranscript(QStringLiteral("CONNECTED (") + peerText() + QStringLiteral(").") + crlf);
    recordOpened();
    ShowSessionState();
}

void SessionController::wskWinSock_ConnectionRequest(int requestId)
{
    m_endpoint->Close();
    m_endpoint->Accept(requestId);
    appendToTranscript(QStringLiteral("CONNECTION ACCEPTED (") + peerText() + QStringLiteral(").") +
                       crlf);
    recordOpened();
    ShowSessionState();
}

void SessionController::wskWinSock_DataArrival(int /*bytesTotal*/)
{
    // The bytes go into the transcript as they came: it keeps them as they are.
    const qint64 time = m_clock.now();
    if (m_endpoint->readsInPlace()) {
        QByteArrayView read;
        try {
            read = m_controls.txtRecvData->appendRead(
                m_endpoint->bytesAvailable(), {Origin::Peer, time},
                [this](char *into, qsizetype most) { return m_endpoint->readInto(into, most); });
        } catch (const std::bad_alloc &) {
            m_endpoint->pauseReading(); // nothing was read: it waits in the endpoint
            throw;
        }
        m_recorder.received(m_endpoint->connectionId(), read, time);
        pauseReadingIfFull();
        return;
    }
    QByteArray data;
    try {
        m_endpoint->GetData(data);
        m_controls.txtRecvData->appendBytes(data, {Origin::Peer, time});
    } catch (const std::bad_alloc &) {
        // Nothing more is read until the transcript has room again: this
        // read goes back to the endpoint, the rest waits with the peer. The
        // report tells why.
        m_endpoint->putBack(data);
        throw;
    }
    m_recorder.received(m_endpoint->connectionId(), data, time);
    pauseReadingIfFull();
}

void SessionController::pauseReadingIfFull()
{
    // At most one read past the limit; TCP holds the peer back meanwhile.
    if (!m_endpoint->readingPaused() &&
        TranscriptLimit::isReached(transcriptUse(), m_transcriptLimit)) {
        m_endpoint->pauseReading();
        appendToTranscript(
            bytesLine(QStringLiteral("TRANSCRIPT FULL"), m_controls.txtRecvData->textLength()) +
            QStringLiteral(": READING PAUSED.") + crlf);
    }
}

void SessionController::resumeReadingIfRoom()
{
    if (m_endpoint->readingPaused() &&
        TranscriptLimit::isLeftBehind(transcriptUse(), m_transcriptLimit))
        m_endpoint->resumeReading();
}

// The one measure of how full the transcript is: its text and the origins
// kept beside it, in bytes.
qint64 SessionController::transcriptUse() const
{
    return m_controls.txtRecvData->memoryBytes();
}

void SessionController::wskWinSock_Close()
{
    appendToTranscript(QStringLiteral("CLOSED.") + crlf);
    ShowIdleState();
}

void SessionController::wskWinSock_TlsStarted()
{
    // Before any decrypted byte: the data arrives after this returns.
    appendToTranscript(TlsText::handshakeLines(m_endpoint->tlsHandshake()));
}

void SessionController::wskWinSock_DataNotSent(const QString &address, int port, qint64 bytes)
{
    appendToTranscript(
        bytesLine(QStringLiteral("DATA NOT SENT TO ") + addressAndPort(address, port), bytes) +
        QStringLiteral(".") + crlf);
}

void SessionController::wskWinSock_DataSent(quint64 connection, QByteArrayView bytes)
{
    m_recorder.sent(connection, bytes, m_clock.now());
}

void SessionController::wskWinSock_ConnectionEnded(quint64 connection, EndpointState::Ending ending,
                                                   const QString &why)
{
    m_recorder.ended(connection, ending, why, m_clock.now());
}

void SessionController::startRecording(const QString &path)
{
    m_recorder.start(path);
    if (m_endpoint->connectionId() != 0)
        recordOpened(QStringLiteral("Recording started during this session; its connection was "
                                    "made before."));
}

void SessionController::stopRecording()
{
    m_recorder.stop();
}

// The connection just made, framed from its handshake on.
void SessionController::recordOpened(const QString &comment)
{
    m_recorder.opened(m_endpoint->connectionId(), m_endpoint->connectionEnds(),
                      m_endpoint->accepted() ? TcpFraming::Side::Remote : TcpFraming::Side::Local,
                      m_clock.now(), comment);
}

void SessionController::wskWinSock_TlsEndedWithoutCloseNotify()
{
    appendToTranscript(QStringLiteral("TLS ENDED WITHOUT CLOSE NOTIFY.") + crlf);
}

// Start TLS follows the endpoint as it changes, also when it fails on its own.
void SessionController::wskWinSock_StateChanged()
{
    m_controls.mnuStartTLS->setEnabled(
        ControlStates::startTls(m_endpoint->State(), m_endpoint->Tls()));
}

void SessionController::ShowSessionState()
{
    applyStates(ControlStates::session(m_endpoint->State()));
}

void SessionController::ShowIdleState()
{
    applyStates(ControlStates::idle());
}

void SessionController::applyStates(const ControlStates::Controls &states)
{
    m_controls.cmdListen->setEnabled(states.listen);
    m_controls.cmdClose->setEnabled(states.close);
    if (!states.closeCaption.isEmpty())
        m_controls.cmdClose->setText(states.closeCaption);
    m_controls.cmdSendData->setEnabled(states.sendData);
    m_controls.cmdConnect->setEnabled(states.connect);
    m_controls.txtAddress->setEnabled(states.address);
    m_controls.txtPort->setEnabled(states.port);
}

void SessionController::ValidateEntries()
{
    const bool complete =
        ControlStates::entriesComplete(m_controls.txtAddress->text(), m_controls.txtPort->text());
    m_controls.cmdConnect->setEnabled(complete);
    m_controls.cmdListen->setEnabled(complete);
}

void SessionController::txtAddress_Change()
{
    ValidateEntries();
}

void SessionController::txtPort_Change()
{
    const QString text = m_controls.txtPort->text();
    const QString sanitised = PortRule::sanitisedPortText(text);
    // Setting the text runs this handler once more, nested; it finds "0" and
    // stops. The 0 is left selected, so that the next digit typed replaces it
    // instead of making a leading zero that would become "0" again.
    if (sanitised != text) {
        m_controls.txtPort->setText(sanitised);
        m_controls.txtPort->selectAll();
    }
    ValidateEntries();
}

void SessionController::appendToTranscript(const QString &piece)
{
    m_controls.txtRecvData->appendText(piece, {Origin::Status, m_clock.now()});
    m_recorder.statusLines(piece);
}

QString SessionController::peerText() const
{
    return addressAndPort(m_endpoint->RemoteHostIP(), m_endpoint->RemotePort());
}
