#pragma once

#include "ReserveOneMore.h"

#include <QtGlobal>

#include <vector>

// Where a character came from.
enum class Origin : quint8 {
    // Typed, pasted, dropped or opened by the user.
    Typed,
    // Sent by the peer.
    Peer,
    // One of the program's own status lines.
    Status,
};

// A character's origin and, for the peer's and the status lines', when it came:
// microseconds since the epoch (UTC); 0 for typed text.
struct OriginStamp
{
    Origin origin = Origin::Typed;
    qint64 time = 0;

    friend bool operator==(const OriginStamp &a, const OriginStamp &b)
    {
        return a.origin == b.origin && a.time == b.time;
    }
    friend bool operator!=(const OriginStamp &a, const OriginStamp &b) { return !(a == b); }
};

// `length` characters that share one stamp.
struct OriginRun
{
    qsizetype length = 0;
    OriginStamp stamp;
};
using OriginRuns = std::vector<OriginRun>;

// The origins of a document's characters, kept beside its text as spans that
// follow every edit, the way an editor keeps formats or moving ranges: an
// edit inside a span splits it, and neighbours with the same stamp are one
// span. A span costs 16 bytes, so what a flooding peer sends costs a few
// bytes per read, not per byte.
class OriginSpans
{
public:
    struct Span
    {
        qsizetype from = 0;
        qsizetype to = 0;
        OriginStamp stamp;
    };

    // The characters covered: the document's length.
    qsizetype size() const { return m_size; }
    qsizetype spanCount() const { return qsizetype(m_starts.size()); }
    Span span(qsizetype index) const;
    // The index of the span holding `position` (< size()).
    qsizetype indexAt(qsizetype position) const;
    Span spanAt(qsizetype position) const { return span(indexAt(position)); }
    // The runs of [from, to), in order.
    OriginRuns runs(qsizetype from, qsizetype to) const;
    // Whether any character of [from, to) has `origin`.
    bool holds(qsizetype from, qsizetype to, Origin origin) const;

    // [from, to) becomes the characters of `runs`.
    void replace(qsizetype from, qsizetype to, const OriginRuns &runs);
    // `length` characters at the end. A peer's piece read within the same
    // millisecond as the peer's piece it follows joins that one's span.
    void append(qsizetype length, OriginStamp stamp);
    // Makes sure the next append allocates nothing.
    void reserveAppend()
    {
        reserveOneMore(m_starts);
        reserveOneMore(m_stamps);
    }
    // Back to the first `size` characters (<= size()); allocates nothing.
    void truncate(qsizetype size);
    void clear();

    // What the spans hold in memory.
    qsizetype memoryBytes() const
    {
        return qsizetype(m_starts.capacity() * sizeof(qsizetype) +
                         m_stamps.capacity() * sizeof(quint64));
    }

private:
    static quint64 pack(OriginStamp stamp)
    {
        return quint64(stamp.time) << 2 | quint64(stamp.origin);
    }
    static OriginStamp unpack(quint64 packed) { return {Origin(packed & 3), qint64(packed >> 2)}; }
    qsizetype spanEnd(qsizetype index) const
    {
        return index + 1 < spanCount() ? m_starts[index + 1] : m_size;
    }

    // Where each span starts, and its stamp packed into one word.
    std::vector<qsizetype> m_starts;
    std::vector<quint64> m_stamps;
    qsizetype m_size = 0;
};
