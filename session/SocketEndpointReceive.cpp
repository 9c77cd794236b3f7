#include "SocketEndpoint.h"

#include "ResidentMemory.h"

#include <QPointer>
#include <QSslSocket>

#include <limits>
#include <utility>

// The endpoint's receiving half: what the peer sent, read and delivered as
// it comes, paused while the transcript has no room and resumed after.

void SocketEndpoint::GetData(QByteArray &bytes)
{
    // Should reading fail for want of memory, `bytes` still holds what was
    // put back, and the socket still holds the rest.
    bytes = std::exchange(m_putBack, {});
    const qint64 available = m_socket ? m_socket->bytesAvailable() : 0;
    if (available <= 0)
        return;
    // Read into an array of its exact size, so that the transcript keeps it
    // as it is, made resident first.
    QByteArray read(available, Qt::Uninitialized);
    makeResident(read.data(), read.size());
    read.truncate(qMax<qint64>(0, m_socket->read(read.data(), available)));
    if (bytes.isEmpty())
        bytes = std::move(read);
    else
        bytes += read;
}

bool SocketEndpoint::readsInPlace() const
{
    return m_socket && m_socket->mode() != QSslSocket::UnencryptedMode;
}

qint64 SocketEndpoint::readInto(char *into, qint64 most)
{
    const qint64 fromPutBack = qMin<qint64>(most, m_putBack.size());
    std::copy_n(m_putBack.constData(), fromPutBack, into);
    m_putBack.remove(0, fromPutBack);
    // Fresh room for the most part: made resident before the read fills it.
    makeResident(into + fromPutBack, most - fromPutBack);
    const qint64 read = m_socket ? m_socket->read(into + fromPutBack, most - fromPutBack) : 0;
    return fromPutBack + qMax<qint64>(0, read);
}

void SocketEndpoint::putBack(const QByteArray &bytes)
{
    pauseReading();
    // GetData took all there was before; sharing the bytes needs no memory.
    m_putBack = bytes;
}

qint64 SocketEndpoint::bytesAvailable() const
{
    return m_putBack.size() + (m_socket ? m_socket->bytesAvailable() : 0);
}

void SocketEndpoint::resumeReading()
{
    if (!std::exchange(m_readingPaused, false) || !m_socket)
        return;
    deliverPendingData();
    if (m_socket && std::exchange(m_peerCloseWaits, false))
        onPeerClosed();
}

qint64 SocketEndpoint::unreadBytes() const
{
    return bytesAvailable() + m_watch.unreadBytes();
}

// Over TLS, Qt announces what it decrypts 4 KiB at a time, all of a read's
// records in one go: they are delivered once, after it, in one piece, not
// each on its own through the transcript and its rows. A close or a failure
// delivers what waits first, as ever; the delivery then finds nothing.
void SocketEndpoint::onSocketReadyRead()
{
    if (!m_socket || !m_socket->isEncrypted())
        return onReadyRead();
    if (std::exchange(m_deliveryQueued, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this, socket = QPointer<QSslSocket>(m_socket)] {
            m_deliveryQueued = false;
            if (socket && socket == m_socket)
                onReadyRead();
        },
        Qt::QueuedConnection);
}

void SocketEndpoint::onReadyRead()
{
    if (m_readingPaused)
        return;
    const qint64 available = bytesAvailable();
    if (available > 0)
        emit dataArrived(int(qMin<qint64>(available, std::numeric_limits<int>::max())));
}

void SocketEndpoint::deliverPendingData()
{
    if (bytesAvailable() > 0)
        onReadyRead();
}
