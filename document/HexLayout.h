#pragma once

#include "CaretMoves.h"
#include "HexRows.h"

class WireDocument;

// A document laid out as a hex dump: each row an offset, sixteen bytes in the
// code page, then the same sixteen characters, every character one cell
// wide in both columns. Holds the rows (HexRows) and where everything in a
// row stands, in CharacterMetrics units from the row's left edge, so that a
// view only has to turn units into pixels; and where each caret move takes
// the caret.
class HexLayout
{
public:
    static constexpr qsizetype cellsPerRow = HexRows::cellsPerRow;

    // The two columns a character shows in.
    using Column = CaretMoves::Column;
    // Where something stands in a row, [left, right) in units.
    struct Span
    {
        int left;
        int right;
    };

    // `units` is the width of a cell: that of a space in the box's font.
    void setCellWidth(int units) { m_cell = qMax(1, units); }

    const HexRows &rows() const { return m_rows; }
    void rebuild(const WireDocument &text) { m_rows.rebuild(text); }
    // [from, from + removed) became `added` characters.
    void followChange(const WireDocument &text, qsizetype from, qsizetype removed, qsizetype added)
    {
        m_rows.followChange(text, from, removed, added);
    }

    // The row's offset, then the character at `position` in either column.
    Span offsetSpan() const;
    Span cellSpan(qsizetype position, Column column) const;
    // The position nearest to `x` (units from the row's left edge) in `row`,
    // or, unless `nearest`, that of the cell under it, in either column.
    qsizetype positionAt(qsizetype row, int x, bool nearest) const;
    // The column at `x`, the nearer of the two in the gap between them.
    Column columnAt(int x) const;

    // Where `move` takes the caret at `position`: a row is sixteen cells on
    // or back, a page `pageRows` rows; the caret's row starts and ends its
    // line. The moves by character and word are those of the text.
    qsizetype target(const WireDocument &text, CaretMoves::Move move, qsizetype position,
                     bool select, qsizetype pageRows) const;

private:
    HexRows m_rows;
    int m_cell = 1;
};
