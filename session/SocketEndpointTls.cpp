#include "SocketEndpoint.h"

#include "ResidentMemory.h"
#include "SendLedger.h"
#include "ServerIdentity.h"
#include "SocketErrors.h"

#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

// The endpoint's TLS half: Start TLS, the two handshakes and what they showed.

// The first TLS socket of a run loads the TLS library (some milliseconds,
// some MiB); a session's first socket is made once it starts, not when a
// peer's bytes are already waiting.
void SocketEndpoint::loadTlsLibrary()
{
    QSslSocket::supportsSsl();
}

void SocketEndpoint::StartTLS()
{
    const bool connected = m_state == EndpointState::Connected && m_socket;
    if (m_tls != EndpointState::Tls::Off || (m_state != EndpointState::Listening && !connected))
        throw SocketErrors::error(SocketErrors::BadState);
    // Without the TLS library a handshake would never start, let alone end.
    if (!QSslSocket::supportsSsl())
        throw SocketErrors::error(SocketErrors::TlsHandshakeFailed,
                                  QStringLiteral("no TLS library could be loaded"));
    keepReadBuffersResident();
    if (connected && !m_accepted)
        return startClientHandshake();
    // Made now, so that a failure shows at the command.
    ServerIdentity::get();
    setTls(EndpointState::Tls::Armed);
}

TlsText::Handshake SocketEndpoint::tlsHandshake() const
{
    TlsText::Handshake handshake;
    if (!m_socket)
        return handshake;
    handshake.protocol = TlsText::protocolName(m_socket->sessionProtocol());
    handshake.cipher = m_socket->sessionCipher().name();
    handshake.asServer = m_accepted;
    const QSslCertificate certificate =
        m_accepted ? m_socket->localCertificate() : m_socket->peerCertificate();
    handshake.hasCertificate = !certificate.isNull();
    handshake.certificate = TlsText::describe(certificate);
    if (!m_accepted) {
        for (const QSslError &error : m_socket->sslHandshakeErrors())
            handshake.untrusted << error.errorString();
    }
    handshake.heldNotSent = m_heldNotSent;
    return handshake;
}

void SocketEndpoint::addCaCertificates(const QList<QSslCertificate> &certificates)
{
    m_caCertificates += certificates;
}

void SocketEndpoint::startClientHandshake()
{
    // Whatever arrived before the command is the peer's plain text.
    deliverPendingData();
    QSslConfiguration configuration = m_socket->sslConfiguration();
    // The handshake completes whatever the verification finds; the
    // certificate line says what it found.
    configuration.setPeerVerifyMode(QSslSocket::QueryPeer);
    configuration.setSslOption(QSsl::SslOptionDisableServerNameIndication,
                               !TlsText::sendsServerName(m_remoteHost));
    if (!m_caCertificates.isEmpty())
        configuration.addCaCertificates(m_caCertificates);
    m_socket->setSslConfiguration(configuration);
    m_socket->setPeerVerifyName(TlsText::verificationName(m_remoteHost));
    m_heldNotSent = 0;
    setTls(EndpointState::Tls::Handshaking);
    m_deadline->start(m_handshakeTimeoutMs);
    // May fail at once, and release the socket.
    QSslSocket *socket = m_socket;
    m_tlsSession = TlsCloseNotify::sessionMadeBy([socket] { socket->startClientEncryption(); });
}

void SocketEndpoint::startServerHandshake()
{
    const ServerIdentity::Identity &identity = ServerIdentity::get();
    QSslConfiguration configuration = m_socket->sslConfiguration();
    // No client certificate is asked for.
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    configuration.setLocalCertificate(identity.certificate);
    configuration.setPrivateKey(identity.key);
    m_socket->setSslConfiguration(configuration);
    setTls(EndpointState::Tls::Handshaking);
    m_deadline->start(m_handshakeTimeoutMs);
    QSslSocket *socket = m_socket;
    m_tlsSession = TlsCloseNotify::sessionMadeBy([socket] { socket->startServerEncryption(); });
}

void SocketEndpoint::onEncrypted()
{
    m_deadline->stop();
    // We verify no client: as server, what was held goes out. As client, it
    // goes out only to a peer whose certificate is trusted.
    const QList<QByteArray> held = std::exchange(m_held, {});
    const bool trusted = m_accepted || (m_socket->sslHandshakeErrors().isEmpty() &&
                                        !m_socket->peerCertificate().isNull());
    for (const QByteArray &piece : held) {
        if (!trusted) {
            m_heldNotSent += piece.size();
            continue;
        }
        m_ledger->handed(piece);
        if (m_socket->write(piece) < 0)
            return fail(SocketErrors::fromSocketError(m_socket->error()), m_socket->errorString());
    }
    setTls(EndpointState::Tls::On);
    emit tlsStarted();
}

// Qt sends no answer to a peer's close_notify; the endpoint sends it on the
// socket's session, then closes the connection. Sending runs the socket,
// which reports the same close once more.
void SocketEndpoint::answerCloseNotify()
{
    if (std::exchange(m_closeNotifyAnswered, true))
        return;
    QSslSocket *socket = m_socket;
    if (TlsCloseNotify::answer(m_tlsSession))
        socket->flush();
    if (m_socket == socket)
        socket->disconnectFromHost();
}

// Any failure during a handshake ends the session: nothing of it is shown, and
// nothing goes on in the clear.
void SocketEndpoint::onTlsError()
{
    switch (m_socket->error()) {
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return fail(SocketErrors::TlsHandshakeFailed,
                    TlsText::failureReason(m_socket->errorString()));
    default:
        return fail(SocketErrors::TlsHandshakeEnded);
    }
}
