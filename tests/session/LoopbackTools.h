#pragma once

// Helpers for tests that play hostile peers on real loopback sockets. Peers
// live on 127.0.0.1 and ::1 only.

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <memory>
#include <vector>

#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace LoopbackTools {

// Runs the event loop until `done` holds or `ms` pass. It wakes on every event
// rather than sleeping between checks, so thousands of waits stay fast.
template <typename Done> bool spinUntil(Done done, int ms = 5000)
{
    const QDeadlineTimer deadline(ms);
    QTimer wake;
    wake.start(10);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Every byte value in turn, repeated to `size` bytes: line ends, NUL and the
// code page's gaps all cross the wire.
inline QByteArray allBytesPattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(i % 256);
    return bytes;
}

// Writes `bytes` straight into the system and waits until they have left the
// peer's send queue, so that they sit with the receiver before anything else
// happens on this thread. False when that takes longer than a few seconds.
inline bool writeThrough(QTcpSocket &peer, const QByteArray &bytes)
{
    const int fd = int(peer.socketDescriptor());
    for (qsizetype sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n <= 0)
            return false; // the receiver's window is full: send less at a time
        sent += n;
    }
    // Unsent plus unacknowledged bytes; on loopback the receiver's system
    // acknowledges as soon as it holds them.
    const QDeadlineTimer deadline(5000);
    int queued = 0;
    while (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 && !deadline.hasExpired())
        QThread::usleep(100);
    return queued == 0;
}

// Ends the connection the hostile way: with SO_LINGER 0 the close sends RST.
inline void resetConnection(QTcpSocket &peer)
{
    const linger abortive{1, 0};
    ::setsockopt(int(peer.socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    peer.abort();
}

// Shuts the peer's sending side only: the other end reads the end of the data
// while the peer can still read.
inline bool halfClose(QTcpSocket &peer)
{
    return ::shutdown(int(peer.socketDescriptor()), SHUT_WR) == 0;
}

// A listener whose backlog is full and that never accepts: the system drops
// further SYNs, so a connect to it stays pending for minutes.
class SilentListener
{
public:
    bool start()
    {
        server.setListenBacklogSize(0);
        server.setMaxPendingConnections(0);
        if (!server.listen(QHostAddress::LocalHost, 0))
            return false;
        // The first peers fill the accept queue; a later one that stays
        // pending proves the queue is full.
        for (int i = 0; i < 8; ++i) {
            auto &filler = fillers.emplace_back(std::make_unique<QTcpSocket>());
            filler->connectToHost(QHostAddress::LocalHost, server.serverPort());
            if (!spinUntil([&] { return filler->state() == QAbstractSocket::ConnectedState; }, 300))
                return filler->state() == QAbstractSocket::ConnectingState;
        }
        return false;
    }
    quint16 port() const { return server.serverPort(); }

private:
    QTcpServer server;
    std::vector<std::unique_ptr<QTcpSocket>> fillers;
};

// Whether something on this machine listens on TCP `port` (a peer process
// that was started and has to be ready before it is connected to).
inline bool isListening(quint16 port)
{
    const QByteArray suffix = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file{QString::fromLatin1(table)};
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            // local_address, then rem_address, then st; 0A is LISTEN.
            if (fields.size() > 3 && fields[1].endsWith(suffix) && fields[3] == "0A")
                return true;
        }
    }
    return false;
}

// Open descriptors of this process, or -1 where the system does not list them.
inline int openDescriptorCount()
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    return fds.exists() ? int(fds.entryList(QDir::Files | QDir::System).size()) : -1;
}

// Open sockets of this process, or -1 where the system does not list them.
// Unlike all descriptors, these do not count the threads that name lookups
// start and keep for a while.
inline int openSocketCount()
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    if (!fds.exists())
        return -1;
    int sockets = 0;
    for (const QString &name : fds.entryList(QDir::Files | QDir::System))
        sockets += QFile::symLinkTarget(fds.filePath(name)).contains(QLatin1String("socket:"));
    return sockets;
}

} // namespace LoopbackTools
