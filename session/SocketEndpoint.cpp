#include "SocketEndpoint.h"

#include "AddressText.h"
#include "CodePage1252.h"
#include "ErrorReport.h"
#include "SendLedger.h"
#include "SocketErrors.h"

#include <QHostAddress>
#include <QMetaMethod>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

constexpr qint64 readChunkBytes = 256 * 1024;

void checkPort(int port)
{
    if (port < 0 || port > 65535)
        throw SocketErrors::error(SocketErrors::InvalidPropertyValue);
}

void discardDescriptor(qintptr descriptor)
{
    QTcpSocket socket;
    if (socket.setSocketDescriptor(descriptor))
        socket.abort();
}

} // namespace

SocketEndpoint::SocketEndpoint(QObject *parent) : QObject(parent), m_deadline(new QTimer(this))
{
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, &SocketEndpoint::deadlinePassed);
}

SocketEndpoint::~SocketEndpoint()
{
    // Sockets still delivering go with the endpoint, and tell it nothing more.
    for (const auto &socket : std::as_const(m_flushing)) {
        if (socket)
            socket->disconnect();
    }
    for (const RequestListener::Request &request : std::as_const(m_pendingRequests))
        discardDescriptor(request.descriptor);
}

void SocketEndpoint::setRemotePort(int port)
{
    checkPort(port);
    m_remotePort = port;
}

int SocketEndpoint::LocalPort() const
{
    if (m_listener)
        return m_listener->port();
    if (m_socket && m_state == EndpointState::Connected)
        return m_socket->localPort();
    return m_localPort;
}

void SocketEndpoint::setLocalPort(int port)
{
    checkPort(port);
    m_localPort = port;
}

void SocketEndpoint::setHostLookup(std::unique_ptr<HostLookup> lookup)
{
    m_lookup->cancel();
    m_lookup = std::move(lookup);
}

void SocketEndpoint::Close()
{
    shutDown();
    setState(EndpointState::Closed);
}

void SocketEndpoint::Listen()
{
    if (m_state != EndpointState::Closed)
        throw SocketErrors::error(SocketErrors::BadState);
    m_tlsRequest = -1;
    loadTlsLibrary();
    auto listener = systemRequestListener(
        this, [this](const RequestListener::Request &request) { takeRequest(request); },
        [this](SocketErrors::Number number) { fail(number); });
    listener->listen(quint16(m_localPort));
    m_listener = std::move(listener);
    setState(EndpointState::Listening);
}

void SocketEndpoint::Accept(int requestId)
{
    if (m_state != EndpointState::Closed)
        throw SocketErrors::error(SocketErrors::BadState);
    const std::optional<RequestListener::Request> pending = takePendingRequest(requestId);
    if (!pending)
        throw SocketErrors::error(SocketErrors::InvalidOperation);
    const RequestListener::Request &request = *pending;
    const bool tls = std::exchange(m_tlsRequest, -1) == requestId;
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(request.descriptor)) {
        const auto number = SocketErrors::fromSocketError(socket->error());
        delete socket;
        throw SocketErrors::error(number);
    }
    adoptSocket(socket);
    m_watch.watch(request.descriptor);
    // The address as the accept gave it: the socket cannot tell it any more
    // once the peer has reset.
    const bool known = !request.peerAddress.isNull();
    m_remoteAddress = known ? request.peerAddress : socket->peerAddress();
    m_remoteHostIP = AddressText::remoteHostIP(m_remoteAddress);
    m_remotePort = known ? request.peerPort : socket->peerPort();
    m_accepted = true;
    startConnection();
    setState(EndpointState::Connected);
    // Before the event loop lets the socket read: the peer's hello never
    // reaches the transcript.
    if (tls)
        startServerHandshake();
}

void SocketEndpoint::SendData(const QString &text)
{
    if (m_state != EndpointState::Connected || !m_socket)
        throw SocketErrors::error(SocketErrors::BadState);
    // Encoding throws before anything is written: all or nothing.
    SendBytes(CodePage1252::encode(text));
    EndSend();
}

void SocketEndpoint::SendBytes(const QByteArray &bytes)
{
    if (m_state != EndpointState::Connected || !m_socket)
        throw SocketErrors::error(SocketErrors::BadState);
    if (bytes.isEmpty())
        return;
    // A socket that has the bytes sends them once its handshake completes,
    // trusted or not: they wait here instead.
    if (m_tls == EndpointState::Tls::Handshaking)
        return m_held.append(bytes);
    QAbstractSocket *device = writeDevice();
    m_ledger->handed(bytes);
    if (device->write(bytes) >= 0)
        return;
    const AppError error =
        SocketErrors::error(SocketErrors::fromSocketError(device->error()), device->errorString());
    endConnection(EndpointState::Ending::Aborted, ErrorReport::messageText(error));
    shutDown(false);
    setState(EndpointState::Error);
    throw error;
}

void SocketEndpoint::EndSend()
{
    if (m_state != EndpointState::Connected || !m_socket)
        throw SocketErrors::error(SocketErrors::BadState);
    // What came before the send is the peer's plain text; what arrives after
    // it belongs to the handshake.
    if (m_tls == EndpointState::Tls::Armed) {
        deliverPendingData();
        startServerHandshake();
    }
}

// In the clear, the TCP socket inside the TLS one takes the bytes without a
// copy of its own (it keeps the array); the TLS socket would copy them first.
QAbstractSocket *SocketEndpoint::writeDevice() const
{
    if (m_socket->mode() == QSslSocket::UnencryptedMode) {
        if (auto *plain = m_socket->findChild<QTcpSocket *>(QString(), Qt::FindDirectChildrenOnly))
            return plain;
    }
    return m_socket;
}

qint64 SocketEndpoint::heldBytes() const
{
    qint64 bytes = 0;
    for (const QByteArray &piece : m_held)
        bytes += piece.size();
    return bytes;
}

TcpFraming::Ends SocketEndpoint::connectionEnds() const
{
    if (!m_socket)
        return {};
    return {m_socket->localAddress(), m_socket->localPort(), m_remoteAddress,
            quint16(m_remotePort)};
}

int SocketEndpoint::flushingSockets() const
{
    int count = 0;
    for (const auto &socket : m_flushing)
        count += socket ? 1 : 0;
    return count;
}

void SocketEndpoint::takeRequest(const RequestListener::Request &request)
{
    m_pendingRequests.append(request);
    const qintptr descriptor = request.descriptor;
    QMetaObject::invokeMethod(
        this, [this, descriptor] { deliverRequest(descriptor); }, Qt::QueuedConnection);
}

void SocketEndpoint::deliverRequest(qintptr descriptor)
{
    const auto isThisOne = [descriptor](const RequestListener::Request &request) {
        return request.descriptor == descriptor;
    };
    if (std::none_of(m_pendingRequests.cbegin(), m_pendingRequests.cend(), isThisOne))
        return;
    // Only a listening endpoint announces requests; the rest arrived after the
    // first peer was taken and are turned away.
    if (m_state == EndpointState::Listening) {
        if (m_tls == EndpointState::Tls::Armed)
            m_tlsRequest = descriptor;
        emit connectionRequested(int(descriptor));
    }
    if (takePendingRequest(descriptor))
        discardDescriptor(descriptor);
}

std::optional<RequestListener::Request> SocketEndpoint::takePendingRequest(qintptr descriptor)
{
    for (qsizetype i = 0; i < m_pendingRequests.size(); ++i) {
        if (m_pendingRequests[i].descriptor == descriptor)
            return m_pendingRequests.takeAt(i);
    }
    return std::nullopt;
}

void SocketEndpoint::deadlinePassed()
{
    if (m_state == EndpointState::ResolvingHost)
        fail(SocketErrors::HostNotFoundTryAgain);
    else if (isConnecting())
        attemptFailed(SocketErrors::TimedOut);
    else if (m_tls == EndpointState::Tls::Handshaking)
        fail(SocketErrors::TlsHandshakeTimedOut);
}

void SocketEndpoint::adoptSocket(QSslSocket *socket)
{
    m_socket = socket;
    m_peerClosedSent = false;
    m_closeNotifyReceived = false;
    m_closeNotifyAnswered = false;
    m_tlsSession = nullptr;
    m_readingPaused = false;
    m_peerCloseWaits = false;
    m_putBack.clear();
    // A flooding peer is read in bounded pieces, so that no single DataArrival
    // holds the UI thread for long; the rest waits in the system's buffer.
    socket->setReadBufferSize(readChunkBytes);
    connect(socket, &QAbstractSocket::stateChanged, this, &SocketEndpoint::onStateChanged);
    connect(socket, &QAbstractSocket::connected, this, &SocketEndpoint::onConnected);
    connect(socket, &QIODevice::readyRead, this, &SocketEndpoint::onSocketReadyRead);
    connect(socket, &QAbstractSocket::disconnected, this, &SocketEndpoint::onDisconnected);
    connect(socket, &QAbstractSocket::errorOccurred, this, &SocketEndpoint::onSocketError);
    connect(socket, &QSslSocket::encrypted, this, &SocketEndpoint::onEncrypted);
    connect(socket, &QSslSocket::alertReceived, this,
            [this](QSsl::AlertLevel, QSsl::AlertType type) {
                if (type == QSsl::AlertType::CloseNotify)
                    m_closeNotifyReceived = true;
            });
}

// The session is connected: what it sends is counted from here on.
void SocketEndpoint::startConnection()
{
    const quint64 connection = m_connectionId = ++m_connectionsMade;
    m_ledger = new SendLedger(
        m_socket, [this, connection](QByteArrayView bytes) { emit dataSent(connection, bytes); });
}

void SocketEndpoint::endConnection(EndpointState::Ending ending, const QString &why)
{
    announceEnd(std::exchange(m_connectionId, 0), ending, why);
}

void SocketEndpoint::announceEnd(quint64 connection, EndpointState::Ending ending,
                                 const QString &why)
{
    if (connection == 0)
        return;
    // After the lines the handler that ended it appends.
    QMetaObject::invokeMethod(
        this, [this, connection, ending, why] { emit connectionEnded(connection, ending, why); },
        Qt::QueuedConnection);
}

// With `flush`, what SendData accepted still goes out, and an encrypted
// session ends with close_notify; otherwise the connection is dropped at once.
void SocketEndpoint::releaseSocket(bool flush)
{
    m_watch.release();
    m_ledger = nullptr;
    QSslSocket *socket = std::exchange(m_socket, nullptr);
    if (!socket)
        return;
    socket->disconnect(this);
    // Held data of a handshake never completed must not go out at all.
    const bool handshaking =
        socket->mode() != QSslSocket::UnencryptedMode && !socket->isEncrypted();
    const bool mustFlush = flush && !handshaking &&
                           socket->state() == QAbstractSocket::ConnectedState &&
                           (socket->bytesToWrite() > 0 || socket->isEncrypted());
    if (!mustFlush) {
        endConnection(flush ? EndpointState::Ending::Closed : EndpointState::Ending::Aborted);
        socket->abort();
        socket->deleteLater();
        return;
    }
    // The bytes SendData accepted still go out; the endpoint itself is closed.
    m_flushing.removeAll(nullptr);
    m_flushing.append(socket);
    // The connection ends once the socket has delivered, or is dropped: once.
    const auto ended = std::make_shared<bool>(false);
    const auto end = [this, ended,
                      connection = std::exchange(m_connectionId, 0)](EndpointState::Ending how) {
        if (!std::exchange(*ended, true))
            announceEnd(connection, how);
    };
    // What the socket still holds when it ends early is named with its peer:
    // the line may come during a later session.
    const auto dropped = [this, socket, end, address = m_remoteHostIP, port = m_remotePort] {
        const qint64 unsent = socket->bytesToWrite() + socket->encryptedBytesToWrite();
        end(EndpointState::Ending::Aborted);
        socket->abort();
        socket->deleteLater();
        if (unsent > 0)
            emit dataNotSent(address, port, unsent);
    };
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QAbstractSocket::disconnected, socket,
            [end] { end(EndpointState::Ending::Closed); });
    connect(socket, &QAbstractSocket::errorOccurred, socket, dropped);
    QTimer::singleShot(m_flushLingerMs, socket, dropped);
    socket->disconnectFromHost();
}

void SocketEndpoint::onStateChanged()
{
    if (m_socket->state() != QAbstractSocket::ConnectingState)
        return;
    setState(EndpointState::Connecting);
    // The socket's descriptor exists once Qt has started the connect.
    QMetaObject::invokeMethod(this, &SocketEndpoint::watchConnectAttempt, Qt::QueuedConnection);
}

// The TLS socket learns its descriptor and the peer's address from the TCP
// socket inside it only here, after the state has already read connected.
void SocketEndpoint::onConnected()
{
    if (!isConnecting())
        return;
    m_deadline->stop();
    m_addresses.clear();
    m_watch.watch(m_socket->socketDescriptor());
    m_remoteAddress = m_socket->peerAddress();
    m_remoteHostIP = AddressText::remoteHostIP(m_remoteAddress);
    startConnection();
    setState(EndpointState::Connected);
    emit connected();
}

void SocketEndpoint::onDisconnected()
{
    m_watch.release();
    if (m_tls == EndpointState::Tls::Handshaking)
        return fail(SocketErrors::TlsHandshakeEnded);
    onPeerClosed();
}

void SocketEndpoint::onPeerClosed()
{
    if (m_peerClosedSent ||
        (m_state != EndpointState::Connected && m_state != EndpointState::Closing))
        return;
    QSslSocket *socket = m_socket;
    // Everything that came before the peer's close is delivered before it.
    deliverPendingData();
    if (m_socket != socket)
        return;
    if (m_readingPaused && bytesAvailable() > 0) {
        m_peerCloseWaits = true;
        return;
    }
    m_peerClosedSent = true;
    setState(EndpointState::Closing);
    if (m_tls == EndpointState::Tls::On && !m_closeNotifyReceived)
        emit tlsEndedWithoutCloseNotify();
    emit peerClosed();
    endConnection(EndpointState::Ending::PeerClosed);
}

void SocketEndpoint::onSocketError()
{
    if (m_tls == EndpointState::Tls::Handshaking)
        return onTlsError();
    const auto socketError = m_socket->error();
    // The peer closed TLS (close_notify): the close is reported once the
    // answer has gone and the connection is closed (disconnected()). Qt is
    // still inside its own read here, and sends nothing until it is out.
    if (socketError == QAbstractSocket::RemoteHostClosedError && m_closeNotifyReceived) {
        QMetaObject::invokeMethod(
            this,
            [this, socket = QPointer<QSslSocket>(m_socket)] {
                if (socket && socket == m_socket)
                    answerCloseNotify();
            },
            Qt::QueuedConnection);
        return;
    }
    // Qt reports a reset as the remote host closing; only the system can tell.
    const bool reset = socketError == QAbstractSocket::RemoteHostClosedError &&
                       m_watch.ending() == ConnectionWatch::Ending::Reset;
    m_watch.release();
    // A regular close by the peer is reported by disconnected(), not as an error.
    if (socketError == QAbstractSocket::RemoteHostClosedError && !reset)
        return;
    const SocketErrors::Number number =
        reset ? SocketErrors::ConnectionReset : SocketErrors::fromSocketError(socketError);
    if (isConnecting())
        return attemptFailed(number);
    QSslSocket *socket = m_socket;
    // What arrived before the failure is still the peer's data: deliver it first.
    if (m_state == EndpointState::Connected)
        deliverPendingData();
    if (m_socket != socket)
        return;
    fail(number);
}

// Nothing of the session stays open or goes on connecting, and TLS is no
// longer armed. Requests already accepted by the system stay: Accept may
// still take one after a Close.
void SocketEndpoint::shutDown(bool flush)
{
    m_deadline->stop();
    m_lookup->cancel();
    m_addresses.clear();
    m_listener.reset();
    m_held.clear();
    m_readingPaused = false;
    m_putBack.clear();
    releaseSocket(flush);
    setTls(EndpointState::Tls::Off);
}

void SocketEndpoint::fail(SocketErrors::Number number, const QString &detail)
{
    const QString description = SocketErrors::description(number, detail);
    endConnection(number == SocketErrors::ConnectionReset ? EndpointState::Ending::PeerReset
                                                          : EndpointState::Ending::Aborted,
                  ErrorReport::messageText(AppError(number, description)));
    // Once an error is reported, nothing is left listening, connecting or open.
    shutDown(false);
    setState(EndpointState::Error);
    const auto signal = QMetaMethod::fromSignal(&SocketEndpoint::errorOccurred);
    if (isSignalConnected(signal)) {
        emit errorOccurred(number, description);
        return;
    }
    // Reported after the socket's own signal has returned.
    const AppError error(number, description);
    QTimer::singleShot(0, this, [error] { ErrorReport::report(error); });
}

void SocketEndpoint::setState(EndpointState::Code state)
{
    if (std::exchange(m_state, state) != state)
        emit stateChanged();
}

void SocketEndpoint::setTls(EndpointState::Tls tls)
{
    if (std::exchange(m_tls, tls) != tls)
        emit stateChanged();
}
