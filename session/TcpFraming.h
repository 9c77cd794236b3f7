#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>

// One session framed as the TCP connection it was, for a recording that a
// reader of captures follows as a stream: the IPv4 or IPv6 header and the TCP
// header of each packet, checksums included, with sequence and
// acknowledgement numbers that count exactly the bytes each side sent. The
// handshake, the acknowledgements and the close are made to fit; nothing is
// ever lost or sent twice, and each side's data is acknowledged at once.
class TcpFraming
{
public:
    enum class Side {
        Local,
        Remote,
    };
    // Where the connection runs, as the system has it.
    struct Ends
    {
        QHostAddress localAddress;
        quint16 localPort = 0;
        QHostAddress remoteAddress;
        quint16 remotePort = 0;
    };
    // One packet: its headers, then its payload, a part of the bytes given.
    struct Segment
    {
        QByteArray headers;
        QByteArrayView payload;
    };
    // Whatever the connection's own segment size was: a packet stays well
    // under IP's 65,535 bytes.
    static constexpr qsizetype maxPayload = 65000;

    explicit TcpFraming(const Ends &ends);

    bool isIpv6() const { return m_ipv6; }

    // SYN from `opener`, SYN-ACK, ACK.
    QList<Segment> open(Side opener);
    // `bytes` from `from`, in segments of at most maxPayload bytes, then the
    // other side's acknowledgement.
    QList<Segment> data(Side from, QByteArrayView bytes);
    // FIN from `first`, the other side's FIN with its acknowledgement, and
    // the last acknowledgement.
    QList<Segment> close(Side first);
    QList<Segment> reset(Side from);

private:
    struct Half
    {
        QByteArray address;
        quint16 port = 0;
        quint32 next = 0;
    };
    Half &half(Side side) { return side == Side::Local ? m_local : m_remote; }
    Half &other(Side side) { return side == Side::Local ? m_remote : m_local; }
    Segment segment(Side from, quint8 flags, QByteArrayView payload = {});

    bool m_ipv6 = false;
    Half m_local;
    Half m_remote;
};
