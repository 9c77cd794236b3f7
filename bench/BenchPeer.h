#pragma once

#include "Payload.h"

#include <QProcess>

#include <functional>

namespace bench {

// Runs the event loop until `done` holds. False, with a word on stderr, once
// 120 s pass in which `progress` (bytes so far) does not move: a run that
// hangs fails instead.
bool runUntil(const std::function<bool()> &done, const std::function<qint64()> &progress);

// The peer of one run: this program again, with --peer, connecting to `port`
// on loopback.
class PeerProcess
{
public:
    PeerProcess(const char *shape, qint64 mib, quint16 port);
    // A run that gave up leaves its peer running; it ends here.
    ~PeerProcess();
    // Ended before the run did: it failed, or the run will not end.
    bool endedEarly() const { return m_ended && !succeeded(); }
    // Waits for the peer to end; whether it did all it was there to do.
    bool finish();

private:
    bool succeeded() const;

    QProcess m_process;
    bool m_ended = false;
};

// The peer's sides of the runs, each connecting to `port` on loopback.

// Sends the payload as fast as the socket takes it, then closes.
bool sendPayload(const QByteArray &payload, quint16 port);
// Sends the payload a byte at a time, each in a segment of its own
// (TCP_NODELAY), then closes.
bool tricklePayload(const QByteArray &payload, quint16 port);
// Sends the payload inside TLS (not checking the certificate) with blocking
// writes straight from OpenSSL to the socket, as the plain peer does, then
// closes TLS with close_notify and the connection.
bool sendPayloadTls(const QByteArray &payload, quint16 port);
// Reads the payload, checking every byte, and closes once it has all.
bool takePayload(const QByteArray &payload, quint16 port);

// The peer process's whole work: makes the payload, then hands it to `side`;
// whether the side did all it was there to do.
bool servePeer(bool (*side)(const QByteArray &payload, quint16 port), Content content, qint64 mib,
               quint16 port);

} // namespace bench
