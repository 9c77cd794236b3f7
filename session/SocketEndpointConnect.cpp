#include "SocketEndpoint.h"

#include "AddressText.h"
#include "SocketErrors.h"

#include <QHostAddress>
#include <QSocketNotifier>
#include <QSslSocket>
#include <QTimer>

// The endpoint's client half: the host looked up, each of its addresses
// tried in turn, and the attempt watched for what Qt does not report.

namespace {

// Qt keeps the descriptor of a socket that is still connecting to itself; the
// notifier it waits on for the connect to finish carries it. -1 when none.
qintptr connectingDescriptor(const QTcpSocket *socket)
{
    const auto notifiers = socket->findChildren<QSocketNotifier *>();
    for (const QSocketNotifier *notifier : notifiers) {
        if (notifier->type() == QSocketNotifier::Write && notifier->isEnabled())
            return notifier->socket();
    }
    return -1;
}

} // namespace

void SocketEndpoint::Connect()
{
    if (m_state != EndpointState::Closed)
        throw SocketErrors::error(SocketErrors::BadState);
    m_tlsRequest = -1;
    m_accepted = false;
    loadTlsLibrary();
    const QString host = AddressText::hostToLookUp(m_remoteHost);
    // An address is not looked up: the name service would be asked for its
    // name instead, and might not answer.
    QHostAddress address;
    if (address.setAddress(host)) {
        setState(EndpointState::HostResolved);
        m_addresses = {address};
        connectToNextAddress();
        return;
    }
    setState(EndpointState::ResolvingHost);
    m_deadline->start(m_lookupTimeoutMs);
    m_lookup->lookUp(host, [this](HostLookup::Outcome outcome, const QList<QHostAddress> &found) {
        hostLookedUp(outcome, found);
    });
}

void SocketEndpoint::hostLookedUp(HostLookup::Outcome outcome, const QList<QHostAddress> &addresses)
{
    if (m_state != EndpointState::ResolvingHost)
        return;
    m_deadline->stop();
    if (outcome == HostLookup::Outcome::TryAgain)
        return fail(SocketErrors::HostNotFoundTryAgain);
    if (outcome != HostLookup::Outcome::Found || addresses.isEmpty())
        return fail(SocketErrors::HostNotFound);
    setState(EndpointState::HostResolved);
    m_addresses = addresses;
    connectToNextAddress();
}

void SocketEndpoint::connectToNextAddress()
{
    releaseSocket(false);
    auto *socket = new QSslSocket(this);
    adoptSocket(socket);
    m_deadline->start(m_connectTimeoutMs);
    // May fail at once, and come back here for the next address.
    socket->connectToHost(m_addresses.takeFirst(), quint16(m_remotePort));
}

// One address failed; the next is tried, and the last one's error is the one
// reported.
void SocketEndpoint::attemptFailed(SocketErrors::Number number)
{
    if (m_addresses.isEmpty())
        return fail(number);
    connectToNextAddress();
}

bool SocketEndpoint::isConnecting() const
{
    return m_state == EndpointState::ResolvingHost || m_state == EndpointState::HostResolved ||
           m_state == EndpointState::Connecting;
}

void SocketEndpoint::watchConnectAttempt()
{
    if (!m_socket || m_state != EndpointState::Connecting ||
        m_socket->state() != QAbstractSocket::ConnectingState)
        return;
    m_watch.watch(connectingDescriptor(m_socket));
    m_connectPort = m_watch.localPort();
    m_watch.notifyActivity(this, [this] { checkConnectAttempt(); });
}

void SocketEndpoint::checkConnectAttempt()
{
    // Once Qt has made the connection or given up, its own signals tell.
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectingState)
        return m_watch.stopNotifying();
    // Qt moved on to the next address of the host, on a new socket.
    if (!m_watch.watches(connectingDescriptor(m_socket)))
        return watchConnectAttempt();
    // When a peer resets the connection during its handshake, Qt connects the
    // same socket again, from a new local port, endlessly and without a word.
    // That is the reset it is.
    const quint16 port = m_watch.localPort();
    if (port == 0 || port == m_connectPort)
        return;
    attemptFailed(SocketErrors::ConnectionReset);
}
