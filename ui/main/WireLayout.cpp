#include "WireLayout.h"

#include "WireMetrics.h"

#include <QChar>

namespace {

// One character as a row sees it: how far it advances, how many code units it
// takes, and whether it ends the line.
struct Step
{
    int advance;
    int length;
    bool lineEnd;
};

inline Step stepAt(const WireMetrics &metrics, const char16_t *text, qsizetype i, qsizetype size,
                   int x)
{
    const char16_t c = text[i];
    const quint32 entry = metrics.entry(c);
    if (!(entry & WireMetrics::Special))
        return {WireMetrics::advanceOf(entry), 1, false};
    if (c == u'\t')
        return {metrics.tabAdvance(x), 1, false};
    if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')
        return {0, 2, true}; // CR LF: a plain break
    if (c == u'\r' || c == u'\n')
        return {WireMetrics::advanceOf(entry), 1, true};
    if (i + 1 < size && QChar::isLowSurrogate(text[i + 1]))
        return {metrics.pairAdvance(c, text[i + 1]), 2, false};
    return {WireMetrics::advanceOf(entry), 1, false}; // a lone half, shown as its mark
}

} // namespace

void WireLayout::setGeometry(const WireMetrics *metrics, int width)
{
    m_metrics = metrics;
    m_width = qMax(1, width);
}

template <typename RowFound>
void WireLayout::wrap(QStringView text, qsizetype start, RowFound rowFound) const
{
    const WireMetrics &metrics = *m_metrics;
    const quint32 *entries = metrics.entries();
    const char16_t *s = text.utf16();
    const qsizetype size = text.size();
    const int width = m_width;
    qsizetype rowStart = start;
    qsizetype breakAt = -1; // just after the row's last space or tab
    int xAtBreak = 0;
    int x = 0;
    for (qsizetype i = start; i < size;) {
        quint32 entry = entries[s[i]];
        if (Q_UNLIKELY(!(entry & WireMetrics::Measured)))
            entry = metrics.entry(s[i]);
        const Step step = Q_LIKELY(!(entry & WireMetrics::Special))
                              ? Step{WireMetrics::advanceOf(entry), 1, false}
                              : stepAt(metrics, s, i, size, x);
        if (x + step.advance <= width || i == rowStart) {
            x += step.advance;
            i += step.length;
            if (entry & WireMetrics::BreakAfter) {
                breakAt = i;
                xAtBreak = x;
            }
            if (!step.lineEnd)
                continue;
            x = 0;
        } else if (entry & WireMetrics::BreakAfter) {
            i += step.length; // a space that does not fit hangs past the edge
            x = 0;
        } else if (breakAt > rowStart) {
            // The word that does not fit starts the next row. Nothing in it
            // is a tab, so its width stays what it was.
            x -= xAtBreak;
            rowStart = breakAt;
            breakAt = -1;
            if (!rowFound(rowStart))
                return;
            continue;
        } else {
            x = 0; // a word longer than the row breaks where the row ends
        }
        rowStart = i;
        breakAt = -1;
        if (!rowFound(i))
            return;
    }
}

void WireLayout::relayout(QStringView text)
{
    m_pending = false;
    std::vector<qsizetype> starts{0};
    wrap(text, 0, [&starts](qsizetype start) {
        starts.push_back(start);
        return true;
    });
    m_rows.replace(0, m_rows.count(), starts, 0);
}

void WireLayout::update(QStringView text, qsizetype from, qsizetype removed, qsizetype added)
{
    if (m_pending) {
        // Layout goes on from the row before the edit, even where it has not
        // got that far yet: the last row it knows may end differently now.
        updateLater(from);
        return;
    }
    const qsizetype shift = added - removed;
    // An edit can change the meaning of the character before it (a CR that
    // now pairs with an LF), and where a row ends depends on the word after
    // it: wrapping again starts one row before the one holding that character.
    qsizetype first = m_rows.rowAt(qMax<qsizetype>(0, from - 1));
    if (first > 0)
        --first;
    const qsizetype changedEnd = from + added;
    std::vector<qsizetype> starts{m_rows.at(first)};
    qsizetype oldRow = first + 1;
    qsizetype resumeRow = m_rows.count();
    wrap(text, starts.front(), [&](qsizetype start) {
        // Past the edit, a row that starts where an old row started (moved by
        // the edit) is followed by the same rows as before.
        if (start > changedEnd) {
            const qsizetype old = start - shift;
            while (oldRow < m_rows.count() && m_rows.at(oldRow) < old)
                ++oldRow;
            if (oldRow < m_rows.count() && m_rows.at(oldRow) == old) {
                resumeRow = oldRow;
                return false;
            }
        }
        starts.push_back(start);
        return true;
    });
    m_rows.replace(first, resumeRow - first, starts, shift);
}

void WireLayout::updateLater(qsizetype from)
{
    // As in update(): the rows before the one before the edit stay.
    qsizetype first = m_rows.rowAt(qMax<qsizetype>(0, from - 1));
    if (first > 0)
        --first;
    m_rows.replace(first + 1, m_rows.count() - first - 1, {}, 0);
    m_pending = true;
}

bool WireLayout::layOutMore(QStringView text, qsizetype budget)
{
    if (!m_pending)
        return true;
    const qsizetype last = m_rows.count() - 1;
    const qsizetype start = m_rows.at(last);
    std::vector<qsizetype> starts{start};
    m_pending = false;
    wrap(text, start, [&](qsizetype rowStart) {
        starts.push_back(rowStart);
        if (rowStart - start < budget)
            return true;
        m_pending = true;
        return false;
    });
    m_rows.replace(last, 1, starts, 0);
    return !m_pending;
}

int WireLayout::walk(QStringView text, qsizetype from, qsizetype to,
                     const std::function<void(qsizetype, int, int)> &visit) const
{
    int x = 0;
    for (qsizetype i = from; i < to;) {
        const Step step = stepAt(*m_metrics, text.utf16(), i, text.size(), x);
        if (visit)
            visit(i, step.length, step.advance);
        x += step.advance;
        i += step.length;
    }
    return x;
}
