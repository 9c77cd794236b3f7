#include "SendHistory.h"

#include "CodePageTable.h"
#include "TextRules.h"

namespace {

constexpr qsizetype labelLength = 40;

} // namespace

void SendHistory::remember(const QList<QByteArray> &pieces)
{
    Send send;
    for (const QByteArray &piece : pieces)
        send.length += piece.size();
    if (send.length == 0 || send.length > maxBytes)
        return;
    for (QByteArray piece : pieces) {
        // A short piece may share a block that has room to grow; kept, it
        // takes only its own size. A full block stays shared.
        if (piece.capacity() > 2 * piece.size())
            piece.squeeze();
        send.pieces.append(piece);
    }
    while (!m_sends.empty() && (count() >= maxSends || m_bytes + send.length > maxBytes)) {
        m_bytes -= m_sends.back().length;
        m_sends.pop_back();
    }
    m_bytes += send.length;
    m_sends.push_front(std::move(send));
}

QString SendHistory::label(qsizetype index) const
{
    const Send &send = m_sends[size_t(index)];
    QString shown;
    for (const QByteArray &piece : send.pieces) {
        for (qsizetype i = 0; i < piece.size() && shown.size() < labelLength; ++i)
            shown += QChar(TextRules::controlPicture(CodePageTable::characterOf(uchar(piece[i]))));
    }
    shown.replace(u'&', QStringLiteral("&&"));
    if (send.length > labelLength)
        shown += QChar(0x2026);
    return shown + QLatin1Char('\t') +
           (send.length == 1 ? QStringLiteral("1 byte")
                             : QStringLiteral("%1 bytes").arg(send.length));
}
