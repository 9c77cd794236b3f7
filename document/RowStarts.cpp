#include "RowStarts.h"

#include <algorithm>
#include <limits>

RowStarts::RowStarts() : m_blocks{Block{0, {0}}}, m_firstRow{0}, m_count(1)
{
    // Even an empty text has one row, at 0.
}

qsizetype RowStarts::blockOfRow(qsizetype row) const
{
    const auto next = std::upper_bound(m_firstRow.begin(), m_firstRow.end(), row);
    return qMax<qsizetype>(0, next - m_firstRow.begin() - 1);
}

qsizetype RowStarts::at(qsizetype row) const
{
    const qsizetype block = blockOfRow(row);
    return m_blocks[block].base + m_blocks[block].offsets[row - m_firstRow[block]];
}

qsizetype RowStarts::rowAt(qsizetype position) const
{
    const auto next =
        std::upper_bound(m_blocks.begin(), m_blocks.end(), position,
                         [](qsizetype value, const Block &block) { return value < block.base; });
    if (next == m_blocks.begin())
        return 0;
    const qsizetype block = next - m_blocks.begin() - 1;
    const std::vector<quint32> &offsets = m_blocks[block].offsets;
    const qsizetype offset = position - m_blocks[block].base;
    const auto row = offset > std::numeric_limits<quint32>::max()
                         ? offsets.end()
                         : std::upper_bound(offsets.begin(), offsets.end(), quint32(offset));
    return m_firstRow[block] + (row - offsets.begin()) - 1;
}

void RowStarts::replace(qsizetype first, qsizetype removed, const std::vector<qsizetype> &starts,
                        qsizetype shift)
{
    // The blocks the change touches are rebuilt from their rows; the blocks
    // after them only move.
    qsizetype firstBlock = 0;
    qsizetype endBlock = 0;
    qsizetype headFirst = first;
    qsizetype tailEnd = first + removed;
    if (!m_blocks.empty()) {
        firstBlock = blockOfRow(first);
        endBlock = (removed > 0 ? blockOfRow(first + removed - 1) : firstBlock) + 1;
        headFirst = m_firstRow[firstBlock];
        tailEnd = m_firstRow[endBlock - 1] + qsizetype(m_blocks[endBlock - 1].offsets.size());
    }
    if (endBlock == firstBlock + 1 &&
        replaceInBlock(firstBlock, first - headFirst, removed, starts, shift))
        return;
    std::vector<qsizetype> rows;
    rows.reserve(size_t(first - headFirst) + starts.size() + size_t(tailEnd - first - removed));
    for (qsizetype row = headFirst; row < first; ++row)
        rows.push_back(m_blocks[firstBlock].base + m_blocks[firstBlock].offsets[row - headFirst]);
    rows.insert(rows.end(), starts.begin(), starts.end());
    if (!m_blocks.empty()) {
        const Block &tail = m_blocks[endBlock - 1];
        const qsizetype tailFirst = m_firstRow[endBlock - 1];
        for (qsizetype row = first + removed; row < tailEnd; ++row)
            rows.push_back(tail.base + tail.offsets[row - tailFirst] + shift);
    }

    std::vector<Block> rebuilt;
    for (size_t i = 0; i < rows.size(); ++i) {
        const qsizetype start = rows[i];
        if (rebuilt.empty() || qsizetype(rebuilt.back().offsets.size()) >= rowsPerBlock ||
            start - rebuilt.back().base > std::numeric_limits<quint32>::max()) {
            rebuilt.push_back(Block{start, {}});
            rebuilt.back().offsets.reserve(qMin(size_t(rowsPerBlock), rows.size() - i));
        }
        rebuilt.back().offsets.push_back(quint32(start - rebuilt.back().base));
    }
    for (qsizetype block = endBlock; block < qsizetype(m_blocks.size()); ++block)
        m_blocks[block].base += shift;
    m_blocks.erase(m_blocks.begin() + firstBlock, m_blocks.begin() + endBlock);
    m_blocks.insert(m_blocks.begin() + firstBlock, std::make_move_iterator(rebuilt.begin()),
                    std::make_move_iterator(rebuilt.end()));
    m_count += qsizetype(starts.size()) - removed;
    renumberFrom(firstBlock);
}

bool RowStarts::replaceInBlock(qsizetype index, qsizetype offset, qsizetype removed,
                               const std::vector<qsizetype> &starts, qsizetype shift)
{
    Block &block = m_blocks[std::size_t(index)];
    std::vector<quint32> &offsets = block.offsets;
    const qsizetype tail = qsizetype(offsets.size()) - offset - removed;
    const qsizetype length = offset + qsizetype(starts.size()) + tail;
    if (length <= 0 || length > rowsPerBlock)
        return false;
    // The block's first row, which its offsets count from: kept, or the
    // first of the new rows, or else the first of the tail's, moved.
    const qsizetype base = offset > 0        ? block.base
                           : !starts.empty() ? starts.front()
                                             : block.base + offsets[std::size_t(removed)] + shift;
    const qsizetype tailMove = block.base + shift - base;
    const auto fits = [base](qsizetype row) {
        return row >= base && row - base <= std::numeric_limits<quint32>::max();
    };
    if (!std::all_of(starts.begin(), starts.end(), fits) ||
        (tail > 0 && !(fits(block.base + offsets[std::size_t(offset + removed)] + shift) &&
                       fits(block.base + offsets.back() + shift))))
        return false;
    const auto tailBegin = offsets.begin() + offset + removed;
    std::for_each(tailBegin, offsets.end(), [tailMove](quint32 &row) { row += quint32(tailMove); });
    const qsizetype grown = qsizetype(starts.size()) - removed;
    if (grown > 0) {
        offsets.resize(std::size_t(length));
        std::move_backward(offsets.begin() + offset + removed,
                           offsets.begin() + offset + removed + tail, offsets.end());
    } else if (grown < 0) {
        std::move(tailBegin, offsets.end(), offsets.begin() + offset + qsizetype(starts.size()));
        offsets.resize(std::size_t(length));
    }
    std::transform(starts.begin(), starts.end(), offsets.begin() + offset,
                   [base](qsizetype row) { return quint32(row - base); });
    block.base = base;
    for (std::size_t later = std::size_t(index) + 1; later < m_blocks.size(); ++later)
        m_blocks[later].base += shift;
    m_count += grown;
    renumberFrom(index);
    return true;
}

void RowStarts::renumberFrom(qsizetype block)
{
    m_firstRow.resize(m_blocks.size());
    qsizetype row =
        block > 0 ? m_firstRow[block - 1] + qsizetype(m_blocks[block - 1].offsets.size()) : 0;
    for (qsizetype b = block; b < qsizetype(m_blocks.size()); ++b) {
        m_firstRow[b] = row;
        row += qsizetype(m_blocks[b].offsets.size());
    }
}
