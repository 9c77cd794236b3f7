#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

#include "ConnectionWatch.h"
#include "EndpointState.h"
#include "HostLookup.h"
#include "RequestListener.h"
#include "SocketErrors.h"

class QTcpSocket;
class QTimer;

// The window's one asynchronous TCP endpoint, in the shape of the classic
// socket control: properties set before Listen/Connect, methods that return at
// once and throw an AppError when they cannot be done, and events delivered on
// the UI thread between other events.
class SocketEndpoint : public QObject
{
    Q_OBJECT

public:
    explicit SocketEndpoint(QObject *parent = nullptr);
    ~SocketEndpoint() override;

    QString RemoteHost() const { return m_remoteHost; }
    void setRemoteHost(const QString &host) { m_remoteHost = host; }
    int RemotePort() const { return m_remotePort; }
    void setRemotePort(int port);
    int LocalPort() const;
    void setLocalPort(int port);
    QString RemoteHostIP() const { return m_remoteHostIP; }
    int State() const { return m_state; }

    void Close();
    void Listen();
    void Connect();
    void Accept(int requestId);
    void SendData(const QString &text);
    // Sends bytes already in the code page, as SendData does its text's.
    void SendBytes(const QByteArray &bytes);
    void GetData(QString &text);

    // Sockets still delivering what SendData accepted before a Close.
    int flushingSockets() const;

    // How long looking a host name up, and connecting to each of its
    // addresses, may take before Connect fails with 11002 or 10060.
    void setLookupTimeout(int msecs) { m_lookupTimeoutMs = msecs; }
    void setConnectTimeout(int msecs) { m_connectTimeoutMs = msecs; }
    // Where host names are looked up; the system's name service by default.
    void setHostLookup(std::unique_ptr<HostLookup> lookup);

signals:
    void connected();
    void connectionRequested(int requestId);
    void dataArrived(int bytes);
    void peerClosed();
    // Nothing in the window listens to this; unheard errors go to the
    // application's error report so the user learns why a connect failed.
    void errorOccurred(int number, const QString &description);

private:
    void takeRequest(const RequestListener::Request &request);
    void deliverRequest(qintptr descriptor);
    std::optional<RequestListener::Request> takePendingRequest(qintptr descriptor);
    void hostLookedUp(HostLookup::Outcome outcome, const QList<QHostAddress> &addresses);
    void connectToNextAddress();
    void attemptFailed(SocketErrors::Number number);
    void deadlinePassed();
    bool isConnecting() const;
    void adoptSocket(QTcpSocket *socket);
    void releaseSocket();
    void onStateChanged();
    void onReadyRead();
    void onDisconnected();
    void onSocketError();
    void deliverPendingData();
    void watchConnectAttempt();
    void checkConnectAttempt();
    void shutDown();
    void fail(SocketErrors::Number number);
    void setState(EndpointState::Code state) { m_state = state; }

    EndpointState::Code m_state = EndpointState::Closed;
    QString m_remoteHost;
    int m_remotePort = 0;
    int m_localPort = 0;
    QString m_remoteHostIP;
    std::unique_ptr<RequestListener> m_listener;
    QTcpSocket *m_socket = nullptr;
    std::unique_ptr<HostLookup> m_lookup = systemHostLookup();
    // The host's addresses not tried yet; each gets a socket of its own.
    QList<QHostAddress> m_addresses;
    // Ends a lookup or a connect attempt that takes too long.
    QTimer *m_deadline = nullptr;
    // The system's own lookup gives up well before this; this catches one
    // that never answers at all.
    int m_lookupTimeoutMs = 60 * 1000;
    // Qt's own connect timer runs as long, but starts the attempt over
    // instead of failing.
    int m_connectTimeoutMs = 30 * 1000;
    // Connections accepted by the system whose request has not been handled yet.
    QList<RequestListener::Request> m_pendingRequests;
    QList<QPointer<QTcpSocket>> m_flushing;
    // Catches a reset during the handshake, and tells a reset from a regular
    // close once the connection is made.
    ConnectionWatch m_watch;
    quint16 m_connectPort = 0;
    bool m_peerClosedSent = false;
};
