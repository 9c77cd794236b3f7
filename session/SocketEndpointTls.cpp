#include "SocketEndpoint.h"

#include "ServerIdentity.h"
#include "SocketErrors.h"

#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>

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
    setTls(EndpointState::Tls::Handshaking);
    // May fail at once, and release the socket.
    m_socket->startClientEncryption();
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
    m_socket->startServerEncryption();
}

void SocketEndpoint::onEncrypted()
{
    setTls(EndpointState::Tls::On);
    emit tlsStarted();
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
