#pragma once

#include <QString>

class WireTextEdit;

namespace bench {

class Payload;

// The one way the bench reads a box's text: its length, and a range of it at
// a time, never a second copy of the whole.
class BoxText
{
public:
    explicit BoxText(const WireTextEdit *box) : m_box(box) {}
    qsizetype size() const;
    QString range(qsizetype from, qsizetype length) const;

private:
    const WireTextEdit *m_box;
};

// Whether the box holds what is left of `payload` from `from` on.
bool holdsFrom(const BoxText &box, qsizetype from, Payload payload);

// The transcript of one accepted connection: its status lines (those of the
// handshake too, over TLS), every byte the peer sent, and the closing line.
bool transcriptHolds(const BoxText &transcript, const Payload &payload, bool tls);

} // namespace bench
