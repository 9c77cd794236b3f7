#include "PcapngWriter.h"

#include <QtEndian>

namespace {

constexpr quint32 sectionHeaderType = 0x0A0D0D0A;
constexpr quint32 interfaceType = 1;
constexpr quint32 enhancedPacketType = 6;
constexpr quint32 byteOrderMagic = 0x1A2B3C4D;
constexpr quint16 linkTypeRaw = 101;
constexpr quint16 optionEnd = 0;
constexpr quint16 optionComment = 1;
constexpr quint16 optionApplication = 4;
// An option's value holds at most 65,535 bytes; a longer comment is cut into
// several, each whole characters (four UTF-8 bytes at most).
constexpr qsizetype commentCharacters = 0xFFFF / 4;

void put16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void padToFour(QByteArray &out, qsizetype size)
{
    out.append((4 - size % 4) % 4, '\0');
}

void putOption(QByteArray &out, quint16 code, const QByteArray &value)
{
    put16(out, code);
    put16(out, quint16(value.size()));
    out.append(value);
    padToFour(out, value.size());
}

void putComments(QByteArray &out, quint16 code, const QStringList &comments)
{
    for (const QString &comment : comments) {
        for (qsizetype at = 0, length = 0; at < comment.size(); at += length) {
            length = qMin(commentCharacters, comment.size() - at);
            // A surrogate pair stays whole.
            if (at + length < comment.size() && comment.at(at + length - 1).isHighSurrogate())
                --length;
            putOption(out, code, comment.mid(at, length).toUtf8());
        }
    }
}

// Starts a block of `type` at the end of `out`; returns where it starts.
qsizetype beginBlock(QByteArray &out, quint32 type)
{
    const qsizetype start = out.size();
    put32(out, type);
    put32(out, 0); // its length, once known
    return start;
}

// Writes the block's length at both its ends.
void endBlock(QByteArray &out, qsizetype start)
{
    const auto length = quint32(out.size() - start + 4);
    put32(out, length);
    qToLittleEndian(length, out.data() + start + 4);
}

} // namespace

namespace PcapngWriter {

QByteArray sectionHeader(const QString &comment, const QString &application)
{
    QByteArray out;
    const qsizetype start = beginBlock(out, sectionHeaderType);
    put32(out, byteOrderMagic);
    put16(out, 1); // version 1.0
    put16(out, 0);
    put32(out, 0xFFFFFFFF); // section length not given
    put32(out, 0xFFFFFFFF);
    putComments(out, optionComment, {comment});
    putComments(out, optionApplication, {application});
    put32(out, optionEnd);
    endBlock(out, start);
    return out;
}

QByteArray rawIpInterface()
{
    QByteArray out;
    const qsizetype start = beginBlock(out, interfaceType);
    put16(out, linkTypeRaw);
    put16(out, 0);
    put32(out, 0); // no snapshot length: packets are whole
    endBlock(out, start);
    return out;
}

void appendPacket(QByteArray &out, qint64 microseconds, QByteArrayView headers,
                  QByteArrayView payload, const QStringList &comments)
{
    const qsizetype start = beginBlock(out, enhancedPacketType);
    const auto length = quint32(headers.size() + payload.size());
    put32(out, 0); // the interface
    put32(out, quint32(quint64(microseconds) >> 32));
    put32(out, quint32(quint64(microseconds)));
    put32(out, length); // captured
    put32(out, length); // on the wire
    out.append(headers);
    out.append(payload);
    padToFour(out, length);
    if (!comments.isEmpty()) {
        putComments(out, optionComment, comments);
        put32(out, optionEnd);
    }
    endBlock(out, start);
}

} // namespace PcapngWriter
