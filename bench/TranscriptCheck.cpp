#include "TranscriptCheck.h"

#include "CodePageTable.h"
#include "Payload.h"
#include "WireTextEdit.h"

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
