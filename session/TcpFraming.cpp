#include "TcpFraming.h"

#include <QtEndian>

#include <cstring>

namespace {

constexpr quint8 fin = 0x01;
constexpr quint8 syn = 0x02;
constexpr quint8 rst = 0x04;
constexpr quint8 psh = 0x08;
constexpr quint8 ack = 0x10;

constexpr int ipv4HeaderBytes = 20;
constexpr int ipv6HeaderBytes = 40;
constexpr int tcpHeaderBytes = 20;
// A SYN carries the segment size (kind 2, length 4) and the window scale
// (NOP, kind 3, length 3, shift): 65,535 shifted by 14 is about 1 GiB, so
// that no window ever reads as full.
constexpr uchar synOptions[] = {
    2, 4, uchar(TcpFraming::maxPayload >> 8), uchar(TcpFraming::maxPayload & 0xFF), 1, 3, 3, 14};
constexpr quint8 protocolTcp = 6;
constexpr quint8 hops = 64;

// The first sequence numbers are made up; readers show them relative anyway.
constexpr quint32 localFirst = 0x10000000;
constexpr quint32 remoteFirst = 0x20000000;

// The one's complement sum of big-endian 16-bit words, unfolded; `bytes`
// starts at an even offset of the summed whole.
quint64 sum(QByteArrayView bytes)
{
    quint64 total = 0;
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    // 32-bit words add up to the same folded sum as their halves.
    for (; left >= 4; p += 4, left -= 4)
        total += qFromBigEndian<quint32>(p);
    for (; left >= 2; p += 2, left -= 2)
        total += qFromBigEndian<quint16>(p);
    if (left == 1)
        total += quint16(uchar(*p) << 8);
    return total;
}

quint16 checksum(quint64 total)
{
    while (total >> 16)
        total = (total & 0xFFFF) + (total >> 16);
    return quint16(~total);
}

QByteArray addressBytes(const QHostAddress &address, bool ipv6)
{
    if (!ipv6) {
        QByteArray bytes(4, '\0');
        qToBigEndian(address.toIPv4Address(), bytes.data());
        return bytes;
    }
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    return QByteArray(reinterpret_cast<const char *>(v6.c), 16);
}

bool isIpv4(const QHostAddress &address)
{
    bool ok = false;
    address.toIPv4Address(&ok);
    return ok || address.isNull();
}

} // namespace

TcpFraming::TcpFraming(const Ends &ends)
    : m_ipv6(!isIpv4(ends.localAddress) || !isIpv4(ends.remoteAddress)),
      m_local{addressBytes(ends.localAddress, m_ipv6), ends.localPort, localFirst},
      m_remote{addressBytes(ends.remoteAddress, m_ipv6), ends.remotePort, remoteFirst}
{
}

QList<TcpFraming::Segment> TcpFraming::open(Side opener)
{
    const Side answerer = opener == Side::Local ? Side::Remote : Side::Local;
    QList<Segment> segments;
    segments << segment(opener, syn);
    segments << segment(answerer, syn | ack);
    segments << segment(opener, ack);
    return segments;
}

QList<TcpFraming::Segment> TcpFraming::data(Side from, QByteArrayView bytes)
{
    QList<Segment> segments;
    for (qsizetype at = 0; at < bytes.size(); at += maxPayload) {
        const QByteArrayView part = bytes.sliced(at, qMin(maxPayload, bytes.size() - at));
        const bool last = at + part.size() == bytes.size();
        segments << segment(from, last ? (psh | ack) : ack, part);
    }
    if (!segments.isEmpty())
        segments << segment(from == Side::Local ? Side::Remote : Side::Local, ack);
    return segments;
}

QList<TcpFraming::Segment> TcpFraming::close(Side first)
{
    const Side second = first == Side::Local ? Side::Remote : Side::Local;
    QList<Segment> segments;
    segments << segment(first, fin | ack);
    segments << segment(second, fin | ack);
    segments << segment(first, ack);
    return segments;
}

QList<TcpFraming::Segment> TcpFraming::reset(Side from)
{
    return {segment(from, rst | ack)};
}

TcpFraming::Segment TcpFraming::segment(Side from, quint8 flags, QByteArrayView payload)
{
    Half &source = half(from);
    const Half &target = other(from);
    const int ipBytes = m_ipv6 ? ipv6HeaderBytes : ipv4HeaderBytes;
    const int tcpBytes = tcpHeaderBytes + ((flags & syn) ? int(sizeof synOptions) : 0);
    const qsizetype tcpLength = tcpBytes + payload.size();
    QByteArray headers(ipBytes + tcpBytes, '\0');
    auto *ip = reinterpret_cast<uchar *>(headers.data());
    if (m_ipv6) {
        ip[0] = 0x60;
        qToBigEndian(quint16(tcpLength), ip + 4);
        ip[6] = protocolTcp;
        ip[7] = hops;
        std::memcpy(ip + 8, source.address.constData(), 16);
        std::memcpy(ip + 24, target.address.constData(), 16);
    } else {
        ip[0] = 0x45;
        qToBigEndian(quint16(ipBytes + tcpLength), ip + 2);
        qToBigEndian(quint16(0x4000), ip + 6); // don't fragment
        ip[8] = hops;
        ip[9] = protocolTcp;
        std::memcpy(ip + 12, source.address.constData(), 4);
        std::memcpy(ip + 16, target.address.constData(), 4);
        qToBigEndian(checksum(sum(headers.first(ipBytes))), ip + 10);
    }

    uchar *tcp = ip + ipBytes;
    qToBigEndian(source.port, tcp);
    qToBigEndian(target.port, tcp + 2);
    qToBigEndian(source.next, tcp + 4);
    qToBigEndian((flags & ack) ? target.next : quint32(0), tcp + 8);
    tcp[12] = uchar((tcpBytes / 4) << 4);
    tcp[13] = flags;
    qToBigEndian(quint16(0xFFFF), tcp + 14);
    if (flags & syn)
        std::memcpy(tcp + tcpHeaderBytes, synOptions, sizeof synOptions);

    // The pseudo-header: both addresses, the protocol and the TCP length.
    quint64 total = sum(source.address) + sum(target.address) + protocolTcp;
    total += quint64(tcpLength >> 16) + quint64(tcpLength & 0xFFFF);
    total += sum(headers.sliced(ipBytes)) + sum(payload);
    qToBigEndian(checksum(total), tcp + 16);

    // SYN and FIN take a sequence number each, as a byte does.
    source.next += quint32(payload.size()) + ((flags & (syn | fin)) ? 1 : 0);
    return {headers, payload};
}
