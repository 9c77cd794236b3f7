#include "HexLayout.h"

namespace {

// Columns, in cells: the offset (eight digits), then the bytes (three cells
// each, one more between the two halves of the row), then the characters.
constexpr int offsetWidth = 8;
constexpr int bytesColumn = 10;
constexpr int charactersColumn = bytesColumn + 3 * 16 + 2;

int byteColumnOf(qsizetype cell)
{
    return bytesColumn + 3 * int(cell) + (cell >= 8 ? 1 : 0);
}

} // namespace

HexLayout::Span HexLayout::offsetSpan() const
{
    return {0, offsetWidth * m_cell};
}

HexLayout::Span HexLayout::cellSpan(qsizetype position, Column column) const
{
    const qsizetype inRow = m_rows.cellOf(position) % cellsPerRow;
    if (column == Column::Bytes)
        return {byteColumnOf(inRow) * m_cell, (byteColumnOf(inRow) + 2) * m_cell};
    const int left = charactersColumn + int(inRow);
    return {left * m_cell, (left + 1) * m_cell};
}

HexLayout::Column HexLayout::columnAt(int x) const
{
    return qreal(x) / m_cell >= charactersColumn - 1 ? Column::Characters : Column::Bytes;
}

qsizetype HexLayout::positionAt(qsizetype row, int x, bool nearest) const
{
    const qreal column = qreal(x) / m_cell;
    qreal inRow = columnAt(x) == Column::Characters
                      ? column - charactersColumn
                      : (column - bytesColumn - (column >= byteColumnOf(8) - 1 ? 1 : 0)) / 3;
    inRow = qBound(qreal(0), inRow + (nearest ? 0.5 : 0), qreal(cellsPerRow - (nearest ? 0 : 1)));
    return m_rows.positionOfCell(row * cellsPerRow + qsizetype(inRow));
}

qsizetype HexLayout::target(const WireDocument &text, CaretMoves::Move move, qsizetype position,
                            bool select, qsizetype pageRows) const
{
    using CaretMoves::Move;
    const qsizetype cell = m_rows.cellOf(position);
    const qsizetype page = pageRows * cellsPerRow;
    const qsizetype row = m_rows.rowAt(position);
    switch (move) {
    case Move::NextRow:
        return m_rows.positionOfCell(cell + cellsPerRow);
    case Move::PreviousRow:
        return m_rows.positionOfCell(qMax<qsizetype>(0, cell - cellsPerRow));
    case Move::NextPage:
        return m_rows.positionOfCell(cell + page);
    case Move::PreviousPage:
        return m_rows.positionOfCell(qMax<qsizetype>(0, cell - page));
    case Move::RowStart:
    case Move::LineStart:
        return m_rows.rowStart(row);
    case Move::RowEnd:
    case Move::LineEnd:
        // The row's last cell (past it the next row starts); on the last
        // row, the end of the text.
        return qMax(position, m_rows.rowStart(row + 1) - (row + 1 < m_rows.rowCount()));
    default:
        return CaretMoves::alongText(text, move, position, select);
    }
}
