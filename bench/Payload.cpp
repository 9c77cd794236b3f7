#include "Payload.h"

namespace bench {

QByteArray Payload::next(qint64 most)
{
    QByteArray piece(qMin(most, left()), Qt::Uninitialized);
    for (char &byte : piece)
        byte = nextByte();
    return piece;
}

char Payload::nextByte()
{
    const qint64 at = m_position++;
    if (m_content == Content::Lines80 && at % 80 >= 78)
        return at % 80 == 78 ? '\r' : '\n';
    m_seed = m_seed * 1664525u + 1013904223u;
    const quint32 random = m_seed >> 24;
    return char(m_content == Content::Binary ? random : 0x20 + random % 95);
}

} // namespace bench
