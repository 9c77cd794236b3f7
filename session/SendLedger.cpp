#include "SendLedger.h"

#include <QSslSocket>

SendLedger::SendLedger(QSslSocket *socket, Sent sent)
    : QObject(socket), m_socket(socket), m_sent(std::move(sent))
{
    // channelBytesWritten, unlike bytesWritten, is never held back while
    // another is being handled.
    auto *plain = socket->findChild<QTcpSocket *>(QString(), Qt::FindDirectChildrenOnly);
    connect(socket, &QIODevice::channelBytesWritten, this, [this, plain](int, qint64 count) {
        // In the clear the TLS socket repeats the count of the TCP socket.
        if (m_socket->mode() != QSslSocket::UnencryptedMode)
            m_encrypted.take(count, m_sent);
        else if (!plain)
            m_clear.take(count, m_sent);
    });
    // Counts what the handshake and TLS write too, once the bytes written in
    // the clear, which went before them, have all gone.
    if (plain) {
        connect(plain, &QIODevice::channelBytesWritten, this,
                [this](int, qint64 count) { m_clear.take(count, m_sent); });
    }
}

void SendLedger::handed(const QByteArray &bytes)
{
    Queue &queue = m_socket->mode() == QSslSocket::UnencryptedMode ? m_clear : m_encrypted;
    queue.pieces.append(bytes);
}

void SendLedger::Queue::take(qint64 count, const Sent &sent)
{
    while (count > 0 && !pieces.isEmpty()) {
        const QByteArray &first = pieces.first();
        const qsizetype part = qsizetype(qMin<qint64>(count, first.size() - taken));
        sent(QByteArrayView(first).sliced(taken, part));
        count -= part;
        taken += part;
        if (taken == first.size()) {
            pieces.removeFirst();
            taken = 0;
        }
    }
}
