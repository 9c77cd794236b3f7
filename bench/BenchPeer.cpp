#include "BenchPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/ssl.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace bench {

namespace {

int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool runUntil(const std::function<bool()> &done, const std::function<qint64()> &progress)
{
    constexpr qint64 stillMs = 120 * 1000;
    QTimer wake;
    wake.start(1000);
    QElapsedTimer still;
    still.start();
    qint64 last = progress();
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (const qint64 now = progress(); now != last) {
            last = now;
            still.restart();
        } else if (still.hasExpired(stillMs)) {
            std::fputs("tapwire_bench: 120 s without a byte\n", stderr);
            return false;
        }
    }
    return true;
}

PeerProcess::PeerProcess(const char *shape, qint64 mib, quint16 port)
{
    QObject::connect(&m_process, &QProcess::finished, [this] { m_ended = true; });
    QObject::connect(&m_process, &QProcess::errorOccurred, [this] { m_ended = true; });
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--peer"), QString::fromLatin1(shape), QString::number(mib),
                     QString::number(port)});
}

PeerProcess::~PeerProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool PeerProcess::finish()
{
    if (m_process.state() != QProcess::NotRunning)
        m_process.waitForFinished(-1);
    if (!succeeded())
        std::fputs("tapwire_bench: the peer failed\n", stderr);
    return succeeded();
}

bool PeerProcess::succeeded() const
{
    return m_process.error() == QProcess::UnknownError &&
           m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

bool sendPayload(const QByteArray &payload, quint16 port)
{
    const int fd = connectTo(port);
    bool whole = fd >= 0;
    for (qint64 sent = 0; whole && sent < payload.size();) {
        const ssize_t n = ::send(fd, payload.constData() + sent,
                                 size_t(qMin(pieceSize, payload.size() - sent)), MSG_NOSIGNAL);
        whole = n > 0;
        sent += n;
    }
    if (fd >= 0)
        ::close(fd);
    return whole;
}

bool tricklePayload(const QByteArray &payload, quint16 port)
{
    const int fd = connectTo(port);
    const int noDelay = 1;
    bool whole =
        fd >= 0 && ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay) == 0;
    for (qint64 sent = 0; whole && sent < payload.size(); ++sent)
        whole = ::send(fd, payload.constData() + sent, 1, MSG_NOSIGNAL) == 1;
    if (fd >= 0)
        ::close(fd);
    return whole;
}

bool sendPayloadTls(const QByteArray &payload, quint16 port)
{
    const int fd = connectTo(port);
    SSL_CTX *context = SSL_CTX_new(TLS_client_method());
    SSL *tls = context && fd >= 0 ? SSL_new(context) : nullptr;
    bool whole = tls && SSL_set_fd(tls, fd) == 1 && SSL_connect(tls) == 1;
    for (qint64 sent = 0; whole && sent < payload.size();) {
        const int n =
            SSL_write(tls, payload.constData() + sent, int(qMin(pieceSize, payload.size() - sent)));
        whole = n > 0;
        sent += n;
    }
    if (whole) {
        // What the server sent (its session tickets) is read before closing:
        // closing with bytes unread would reset the connection and lose the
        // payload's end.
        char discard[4096];
        int unread = 0;
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        while ((::ioctl(fd, FIONREAD, &unread) == 0 && unread > 0) || SSL_pending(tls) > 0)
            SSL_read(tls, discard, sizeof discard);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        whole = SSL_shutdown(tls) >= 0;
    }
    SSL_free(tls);
    SSL_CTX_free(context);
    if (fd >= 0)
        ::close(fd);
    return whole;
}

bool takePayload(const QByteArray &payload, quint16 port)
{
    const int fd = connectTo(port);
    bool exact = fd >= 0;
    std::vector<char> buffer(pieceSize);
    for (qint64 received = 0; exact && received < payload.size();) {
        const ssize_t n =
            ::recv(fd, buffer.data(), size_t(qMin(pieceSize, payload.size() - received)), 0);
        exact = n > 0 && std::memcmp(payload.constData() + received, buffer.data(), size_t(n)) == 0;
        received += n;
    }
    if (fd >= 0)
        ::close(fd);
    return exact;
}

// It makes the whole payload before it connects, so that making it is neither
// timed nor in the way of the run; that memory is the peer's own.
bool servePeer(bool (*side)(const QByteArray &payload, quint16 port), Content content, qint64 mib,
               quint16 port)
{
    const qint64 bytes = mib * MiB;
    return side(Payload(content, bytes).next(bytes), port);
}

} // namespace bench
