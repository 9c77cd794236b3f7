#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QString>

#include <memory>
#include <optional>

#include "ConnectionWatch.h"
#include "EndpointState.h"
#include "HostLookup.h"
#include "RequestListener.h"
#include "SocketErrors.h"
#include "TlsText.h"

class QIODevice;
class QSslSocket;
class QTcpSocket;
class QTimer;

// The window's one asynchronous TCP endpoint, in the shape of the classic
// socket control: properties set before Listen/Connect, methods that return at
// once and throw an AppError when they cannot be done, and events delivered on
// the UI thread between other events. Every socket is TLS-capable but talks
// plain TCP until StartTLS upgrades the session.
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
    EndpointState::Tls Tls() const { return m_tls; }

    void Close();
    void Listen();
    void Connect();
    void Accept(int requestId);
    void SendData(const QString &text);
    // Sends bytes already in the code page, as SendData does its text's.
    void SendBytes(const QByteArray &bytes);
    // Ends one send made of SendBytes calls (SendData ends its own): a
    // session armed for TLS starts its server handshake right behind it.
    void EndSend();
    // What arrived, as bytes, each one character in the code page.
    void GetData(QByteArray &bytes);
    // Listening: arms TLS for the next peer accepted, whose handshake starts
    // before any of its bytes are read. Connected after an Accept: arms it for
    // the next send, whose bytes go out in the clear with the server
    // handshake right behind them (EndSend). Connected after Connect: starts a client
    // handshake now, naming and checking the host as typed. Once a handshake
    // has started, what is sent is held until it completes and then goes
    // out encrypted; nothing goes out in the clear again.
    void StartTLS();
    // What the handshake showed; read when tlsStarted() is emitted.
    TlsText::Handshake tlsHandshake() const;
    // Certificates a client trusts besides the system's (tests bring a CA).
    void addCaCertificates(const QList<QSslCertificate> &certificates);

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
    // The handshake completed; decrypted data follows.
    void tlsStarted();
    // The peer ended the TCP connection without closing TLS first, so what
    // arrived may be cut short; peerClosed() follows.
    void tlsEndedWithoutCloseNotify();
    // State() or Tls() changed.
    void stateChanged();
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
    void adoptSocket(QSslSocket *socket);
    void releaseSocket(bool flush);
    QIODevice *writeDevice() const;
    static void loadTlsLibrary();
    void startClientHandshake();
    void startServerHandshake();
    void onEncrypted();
    void onTlsError();
    void onPeerClosed();
    void onStateChanged();
    void onConnected();
    void onReadyRead();
    void onDisconnected();
    void onSocketError();
    void deliverPendingData();
    void watchConnectAttempt();
    void checkConnectAttempt();
    void shutDown(bool flush = true);
    void fail(SocketErrors::Number number, const QString &detail = {});
    void setState(EndpointState::Code state);
    void setTls(EndpointState::Tls tls);

    EndpointState::Code m_state = EndpointState::Closed;
    EndpointState::Tls m_tls = EndpointState::Tls::Off;
    // The session came from Accept: its handshake is the server's.
    bool m_accepted = false;
    // The request announced while TLS was armed; its Accept starts the server
    // handshake (the request survives the Close before it, the arming not).
    qintptr m_tlsRequest = -1;
    bool m_closeNotifyReceived = false;
    QList<QSslCertificate> m_caCertificates;
    QString m_remoteHost;
    int m_remotePort = 0;
    int m_localPort = 0;
    QString m_remoteHostIP;
    std::unique_ptr<RequestListener> m_listener;
    QSslSocket *m_socket = nullptr;
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
    QList<QPointer<QSslSocket>> m_flushing;
    // Catches a reset during the handshake, and tells a reset from a regular
    // close once the connection is made.
    ConnectionWatch m_watch;
    quint16 m_connectPort = 0;
    bool m_peerClosedSent = false;
};
