#include "TranscriptCheck.h"

#include "CodePageTable.h"
#include "Payload.h"
#include "WireTextEdit.h"

#include <QtEndian>

namespace bench {

qsizetype BoxText::size() const
{
    return m_box->textLength();
}

QString BoxText::range(qsizetype from, qsizetype length) const
{
    return m_box->document().text(from, from + length);
}

FileText::FileText(const QString &path) : m_file(path)
{
    m_file.open(QIODevice::ReadOnly);
}

QString FileText::range(qsizetype from, qsizetype length) const
{
    return m_file.seek(from) ? CodePageTable::decode(m_file.read(length)) : QString();
}

// Reads the blocks one by one; an enhanced packet block (6) holds its
// packet 28 bytes in, its length 20 bytes in.
RecordedText::RecordedText(const QString &path) : m_file(path)
{
    if (!m_file.open(QIODevice::ReadOnly))
        return;
    const auto word = [](const QByteArray &bytes, qsizetype at) {
        return qFromLittleEndian<quint32>(bytes.constData() + at);
    };
    for (qint64 at = 0; at + 12 <= m_file.size();) {
        m_file.seek(at);
        const QByteArray head = m_file.read(28 + 60);
        const quint32 length = word(head, 4);
        if (length < 12)
            return;
        if (word(head, 0) == 6) {
            const qsizetype captured = word(head, 20);
            const uchar *ip = reinterpret_cast<const uchar *>(head.constData()) + 28;
            const qsizetype ipBytes = (ip[0] >> 4) == 6 ? 40 : (ip[0] & 0x0F) * 4;
            const qsizetype headers = ipBytes + (ip[ipBytes + 12] >> 4) * 4;
            if (captured > headers) {
                m_pieces.append({at + 28 + headers, m_size, captured - headers});
                m_size += captured - headers;
            }
        }
        at += length;
    }
}

QString RecordedText::range(qsizetype from, qsizetype length) const
{
    QByteArray bytes;
    for (const Piece &piece : m_pieces) {
        const qsizetype start = qMax(from, piece.textOffset);
        const qsizetype end = qMin(from + length, piece.textOffset + piece.size);
        if (start >= end)
            continue;
        m_file.seek(piece.fileOffset + start - piece.textOffset);
        bytes += m_file.read(end - start);
    }
    return CodePageTable::decode(bytes);
}

bool holdsFrom(const TextRanges &text, qsizetype from, Payload payload)
{
    for (qsizetype at = from; payload.left() > 0;) {
        const QString expected = CodePageTable::decode(payload.next(pieceSize));
        if (text.range(at, expected.size()) != expected)
            return false;
        at += expected.size();
    }
    return true;
}

bool transcriptHolds(const TextRanges &transcript, const Payload &payload, bool tls)
{
    const QString head = transcript.range(0, 1024);
    const QString closedLine = QStringLiteral("CLOSED.\r\n");
    const QString first = tls ? QStringLiteral("TLS ARMED.\r\nCONNECTION ACCEPTED (")
                              : QStringLiteral("CONNECTION ACCEPTED (");
    const QString last = tls ? QStringLiteral("\r\nOUR CERTIFICATE (") : first;
    const qsizetype lastAt = head.indexOf(last);
    const qsizetype headEnd = lastAt < 0 ? -1 : head.indexOf(QStringLiteral(").\r\n"), lastAt);
    if (!head.startsWith(first) || headEnd < 0)
        return false;
    const qsizetype dataStart = headEnd + 4;
    const qsizetype dataEnd = dataStart + payload.left();
    return transcript.size() == dataEnd + closedLine.size() &&
           transcript.range(dataEnd, closedLine.size()) == closedLine &&
           holdsFrom(transcript, dataStart, payload);
}

} // namespace bench
