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
#include "TcpFraming.h"
#include "TlsCloseNotify.h"
#include "TlsText.h"

class QAbstractSocket;
class QSslSocket;
class QTcpSocket;
class QTimer;
class SendLedger;

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
    // The session came from Accept, not from Connect.
    bool accepted() const { return m_accepted; }

    void Close();
    void Listen();
    void Connect();
    void Accept(int requestId);
    void SendData(const QString &text);
    // Sends bytes already in the code page, as SendData does its text's.
    // A write the socket refuses ends the send and the session with its error.
    void SendBytes(const QByteArray &bytes);
    // Ends one send made of SendBytes calls (SendData ends its own): a
    // session armed for TLS starts its server handshake right behind it.
    void EndSend();
    // What arrived, as bytes, each one character in the code page.
    void GetData(QByteArray &bytes);
    // Takes back what GetData handed over and could not be kept (no memory
    // was left for it): it comes first at the next GetData, and reading
    // pauses until resumeReading().
    void putBack(const QByteArray &bytes);
    // Over TLS, what arrived is read in place (readInto), into memory the
    // transcript keeps, rather than handed over in an array of its own
    // (GetData): an array made for every read would take the place of the
    // buffers Qt's TLS path frees, and theirs would be fresh memory, faulted
    // in a page at a time.
    bool readsInPlace() const;
    // Up to `most` bytes of what arrived, into `into`; how many.
    qint64 readInto(char *into, qint64 most);
    // What arrived and waits to be read.
    qint64 bytesAvailable() const;
    // Listening: arms TLS for the next peer accepted, whose handshake starts
    // before any of its bytes are read. Connected after an Accept: arms it for
    // the next send, whose bytes go out in the clear with the server
    // handshake right behind them (EndSend). Connected after Connect: starts a client
    // handshake now, naming and checking the host as typed. Once a handshake
    // has started, what is sent is held until it completes and then goes
    // out encrypted, as client only to a peer whose certificate is trusted;
    // nothing goes out in the clear again.
    void StartTLS();
    // What the handshake showed, and what it held and did not send; read
    // when tlsStarted() is emitted.
    TlsText::Handshake tlsHandshake() const;
    // What sends hold while a handshake is under way.
    qint64 heldBytes() const;
    // Certificates a client trusts besides the system's (tests bring a CA).
    void addCaCertificates(const QList<QSslCertificate> &certificates);

    // Sockets still delivering what SendData accepted before a Close.
    int flushingSockets() const;

    // The connection in hand, for a recording of it: a number of its own
    // from the moment it is made until it ends (0 when there is none), and
    // where it runs.
    quint64 connectionId() const { return m_connectionId; }
    TcpFraming::Ends connectionEnds() const;

    // While reading is paused nothing is read and dataArrived() stays quiet;
    // what arrives waits in Qt's and the system's bounded buffers, and TCP
    // holds the peer back. A peer's close waits behind what it sent.
    void pauseReading() { m_readingPaused = true; }
    void resumeReading();
    bool readingPaused() const { return m_readingPaused; }
    // What arrived and was not read yet: put back, in Qt's buffer and in the
    // system's.
    qint64 unreadBytes() const;

    // How long looking a host name up, and connecting to each of its
    // addresses, may take before Connect fails with 11002 or 10060.
    void setLookupTimeout(int msecs) { m_lookupTimeoutMs = msecs; }
    void setConnectTimeout(int msecs) { m_connectTimeoutMs = msecs; }
    // How long a TLS handshake may take before it fails with 40302.
    void setHandshakeTimeout(int msecs) { m_handshakeTimeoutMs = msecs; }
    // How long a socket handed off by Close may go on delivering.
    void setFlushLinger(int msecs) { m_flushLingerMs = msecs; }
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
    // A socket handed off by Close ended, at its time limit or by the peer,
    // with `bytes` still unsent to that peer.
    void dataNotSent(const QString &address, int port, qint64 bytes);
    // Bytes of `connection` reached the system (inside TLS: the TLS library),
    // also while a socket delivers after a Close; never what a Close or an
    // error cut off, nor what was held and not sent.
    void dataSent(quint64 connection, QByteArrayView bytes);
    // `connection` ended; `why` names the error that ended it, if one did.
    // Comes after the handler that ended it has returned.
    void connectionEnded(quint64 connection, EndpointState::Ending ending, const QString &why);
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
    void startConnection();
    void endConnection(EndpointState::Ending ending, const QString &why = {});
    void announceEnd(quint64 connection, EndpointState::Ending ending, const QString &why = {});
    void releaseSocket(bool flush);
    QAbstractSocket *writeDevice() const;
    static void loadTlsLibrary();
    void startClientHandshake();
    void startServerHandshake();
    void onEncrypted();
    void onTlsError();
    void answerCloseNotify();
    void onPeerClosed();
    void onStateChanged();
    void onConnected();
    void onReadyRead();
    void onSocketReadyRead();
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
    bool m_closeNotifyAnswered = false;
    // The TLS library's session of the socket's handshake.
    TlsCloseNotify::Session m_tlsSession = nullptr;
    // What sends handed over while the handshake runs, and what of it was
    // not sent because the peer is not trusted.
    QList<QByteArray> m_held;
    qint64 m_heldNotSent = 0;
    bool m_readingPaused = false;
    bool m_peerCloseWaits = false;
    // Over TLS, a delivery of what was decrypted is on its way.
    bool m_deliveryQueued = false;
    QByteArray m_putBack;
    QList<QSslCertificate> m_caCertificates;
    QString m_remoteHost;
    int m_remotePort = 0;
    int m_localPort = 0;
    QString m_remoteHostIP;
    QHostAddress m_remoteAddress;
    std::unique_ptr<RequestListener> m_listener;
    QSslSocket *m_socket = nullptr;
    // What was handed to the socket and has not gone yet.
    SendLedger *m_ledger = nullptr;
    quint64 m_connectionId = 0;
    quint64 m_connectionsMade = 0;
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
    // A peer that never answers must not hold the session, or the one accept
    // slot of a listener, in the handshake.
    int m_handshakeTimeoutMs = 30 * 1000;
    // A peer that stops reading must not pin a socket handed off by Close.
    int m_flushLingerMs = 60 * 1000;
    // Connections accepted by the system whose request has not been handled yet.
    QList<RequestListener::Request> m_pendingRequests;
    QList<QPointer<QSslSocket>> m_flushing;
    // Catches a reset during the handshake, and tells a reset from a regular
    // close once the connection is made.
    ConnectionWatch m_watch;
    quint16 m_connectPort = 0;
    bool m_peerClosedSent = false;
};
