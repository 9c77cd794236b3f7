#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <deque>

// What Send Data sent, newest first, for the user to send again: the last 50
// sends, at most 16 MiB together, the oldest dropped first to make room; a
// send larger than that alone is not kept. Each is kept as the bytes that
// went out, which are exactly its text in the code page (byte blocks shared
// with the box's own, not copied), and only while the program runs: a send
// may hold a password.
class SendHistory
{
public:
    static constexpr qsizetype maxSends = 50;
    static constexpr qsizetype maxBytes = 16 * 1024 * 1024;

    // Keeps a send, given as its pieces in order; an empty one is not kept.
    void remember(const QList<QByteArray> &pieces);

    qsizetype count() const { return qsizetype(m_sends.size()); }
    // The send `index` places back from the newest (0).
    const QList<QByteArray> &pieces(qsizetype index) const { return m_sends[size_t(index)].pieces; }
    // How a menu names a send: its first 40 characters, each control character
    // as its control picture, then its length.
    QString label(qsizetype index) const;

private:
    struct Send
    {
        QList<QByteArray> pieces;
        qsizetype length = 0;
    };
    std::deque<Send> m_sends;
    qsizetype m_bytes = 0;
};
