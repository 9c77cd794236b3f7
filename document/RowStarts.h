#pragma once

#include <QtGlobal>

#include <vector>

// The positions where the rows of a wrapped text start, in ascending order.
// They are kept in blocks with a base position each, so that an edit shifts
// the rows after it by touching each later block once, and a row costs four
// bytes however long the text grows.
class RowStarts
{
public:
    RowStarts();

    qsizetype count() const { return m_count; }
    qsizetype at(qsizetype row) const;
    // The last row that starts at or before `position`.
    qsizetype rowAt(qsizetype position) const;

    // Replaces rows [first, first + removed) by `starts` and moves every row
    // after them by `shift`.
    void replace(qsizetype first, qsizetype removed, const std::vector<qsizetype> &starts,
                 qsizetype shift);

private:
    struct Block
    {
        qsizetype base = 0;
        std::vector<quint32> offsets;
    };
    static constexpr qsizetype rowsPerBlock = 1024;

    qsizetype blockOfRow(qsizetype row) const;
    // replace() within block `index`, from its row `offset`, when the block
    // stays one block; false, with nothing changed, when it does not.
    bool replaceInBlock(qsizetype index, qsizetype offset, qsizetype removed,
                        const std::vector<qsizetype> &starts, qsizetype shift);
    void renumberFrom(qsizetype block);

    std::vector<Block> m_blocks;
    // The index of each block's first row.
    std::vector<qsizetype> m_firstRow;
    qsizetype m_count = 0;
};
