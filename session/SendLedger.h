#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>

#include <functional>

class QSslSocket;

// What the endpoint handed one socket to send, kept until the socket says it
// has gone: in the clear, once the TCP socket inside has written it to the
// system; inside TLS, once the TLS socket has taken it (its count is of the
// plain text). What a Close or an error cuts off is never reported. The bytes
// are shared with the sender, not copied. Lives as the socket's child, so it
// goes on reporting while the socket delivers after a Close.
class SendLedger : public QObject
{
public:
    using Sent = std::function<void(QByteArrayView bytes)>;

    SendLedger(QSslSocket *socket, Sent sent);

    // Called with each write, before the socket has the bytes.
    void handed(const QByteArray &bytes);

private:
    // Pieces in the order written; the first may have gone in part.
    struct Queue
    {
        QList<QByteArray> pieces;
        qsizetype taken = 0;

        void take(qint64 count, const Sent &sent);
    };

    QSslSocket *m_socket = nullptr;
    Sent m_sent;
    Queue m_clear;
    Queue m_encrypted;
};
