#pragma once

#include <QByteArray>

namespace bench {

constexpr qint64 MiB = 1024 * 1024;
// What the peer hands its socket, and the check compares, at a time.
constexpr qint64 pieceSize = MiB;

enum class Content { Printable, Lines80, Binary };

// The bytes of a run, made the same way every time from one seed, a piece at
// a time, so that the check can make them again beside what arrived without
// holding them whole.
class Payload
{
public:
    Payload(Content content, qint64 size) : m_content(content), m_size(size) {}
    qint64 left() const { return m_size - m_position; }
    QByteArray next(qint64 most);

private:
    char nextByte();

    Content m_content;
    qint64 m_size;
    qint64 m_position = 0;
    quint32 m_seed = 12345;
};

} // namespace bench
