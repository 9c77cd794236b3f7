#include "OriginSpans.h"

#include <QVarLengthArray>

#include <algorithm>

OriginSpans::Span OriginSpans::span(qsizetype index) const
{
    return {m_starts[index], spanEnd(index), unpack(m_stamps[index])};
}

qsizetype OriginSpans::indexAt(qsizetype position) const
{
    const auto after = std::upper_bound(m_starts.cbegin(), m_starts.cend(), position);
    return qMax<qsizetype>(0, qsizetype(after - m_starts.cbegin()) - 1);
}

OriginRuns OriginSpans::runs(qsizetype from, qsizetype to) const
{
    OriginRuns found;
    for (qsizetype index = from < to ? indexAt(from) : spanCount();
         index < spanCount() && m_starts[index] < to; ++index)
        found.push_back(
            {qMin(to, spanEnd(index)) - qMax(from, m_starts[index]), unpack(m_stamps[index])});
    return found;
}

bool OriginSpans::holds(qsizetype from, qsizetype to, Origin origin) const
{
    for (qsizetype index = from < to ? indexAt(from) : spanCount();
         index < spanCount() && m_starts[index] < to; ++index) {
        if (unpack(m_stamps[index]).origin == origin)
            return true;
    }
    return false;
}

void OriginSpans::replace(qsizetype from, qsizetype to, const OriginRuns &runs)
{
    // The spans from the one holding the character before `from` through the
    // one holding the character at `to` are made anew, so that the new runs
    // join the neighbours they match; the spans after them only move.
    const qsizetype count = spanCount();
    const qsizetype first = from > 0 ? indexAt(from - 1) : 0;
    const qsizetype last = to < m_size ? indexAt(to) + 1 : count;
    const qsizetype regionFrom = first < count ? m_starts[first] : 0;
    const qsizetype regionTo = last < count ? m_starts[last] : m_size;

    // Made on the stack: an edit usually touches a span or two.
    QVarLengthArray<qsizetype, 16> starts;
    QVarLengthArray<quint64, 16> stamps;
    qsizetype at = regionFrom;
    const auto add = [&](qsizetype length, quint64 packed) {
        if (length <= 0)
            return;
        if (stamps.empty() || stamps.back() != packed) {
            starts.push_back(at);
            stamps.push_back(packed);
        }
        at += length;
    };
    const auto addOwn = [&](qsizetype from, qsizetype to) {
        for (qsizetype index = from < to ? indexAt(from) : count;
             index < count && m_starts[index] < to; ++index)
            add(qMin(to, spanEnd(index)) - qMax(from, m_starts[index]), m_stamps[index]);
    };
    addOwn(regionFrom, from);
    for (const OriginRun &run : runs)
        add(run.length, pack(run.stamp));
    addOwn(to, regionTo);
    const qsizetype moved = at - regionTo;
    m_starts.erase(m_starts.begin() + first, m_starts.begin() + last);
    m_stamps.erase(m_stamps.begin() + first, m_stamps.begin() + last);
    m_starts.insert(m_starts.begin() + first, starts.cbegin(), starts.cend());
    m_stamps.insert(m_stamps.begin() + first, stamps.cbegin(), stamps.cend());
    for (auto start = m_starts.begin() + first + qsizetype(starts.size()); start != m_starts.end();
         ++start)
        *start += moved;
    m_size += moved;
    if (m_size == 0)
        clear();
}

void OriginSpans::append(qsizetype length, OriginStamp stamp)
{
    if (length <= 0)
        return;
    if (!m_stamps.empty()) {
        const OriginStamp last = unpack(m_stamps.back());
        if (stamp.origin == Origin::Peer && last.origin == Origin::Peer &&
            last.time / 1000 == stamp.time / 1000)
            stamp = last;
    }
    if (m_stamps.empty() || m_stamps.back() != pack(stamp)) {
        m_starts.push_back(m_size);
        m_stamps.push_back(pack(stamp));
    }
    m_size += length;
}

void OriginSpans::truncate(qsizetype size)
{
    while (!m_starts.empty() && m_starts.back() >= size) {
        m_starts.pop_back();
        m_stamps.pop_back();
    }
    m_size = size;
}

void OriginSpans::clear()
{
    // The memory goes back too: a cleared transcript holds nothing.
    std::vector<qsizetype>().swap(m_starts);
    std::vector<quint64>().swap(m_stamps);
    m_size = 0;
}
