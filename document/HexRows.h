#pragma once

#include <QString>

#include <vector>

class WireDocument;

// The rows of a document shown as a hex dump: sixteen characters to a row,
// each one cell, a surrogate pair one cell like any other character, so that
// the offset of every later cell stays the count of the cells before it. Kept
// as the positions of the surrogate pairs: without any, row r starts at 16 r.
class HexRows
{
public:
    static constexpr qsizetype cellsPerRow = 16;

    void rebuild(const WireDocument &text);
    // [from, from + removed) became `added` characters.
    void followChange(const WireDocument &text, qsizetype from, qsizetype removed, qsizetype added);

    // The cell of the character at `position` (a boundary).
    qsizetype cellOf(qsizetype position) const;
    // Where the character of cell `cell` starts (the text's end past its last).
    qsizetype positionOfCell(qsizetype cell) const;

    qsizetype cellCount() const { return m_size - qsizetype(m_pairs.size()); }
    qsizetype rowCount() const { return cellCount() / cellsPerRow + 1; }
    qsizetype rowStart(qsizetype row) const { return positionOfCell(row * cellsPerRow); }
    qsizetype rowAt(qsizetype position) const { return cellOf(position) / cellsPerRow; }

    // The characters of a row, in order: where each starts.
    std::vector<qsizetype> cellsOfRow(const WireDocument &text, qsizetype row) const;
    // A cell's offset as a row shows it: eight hex digits.
    static QString offsetText(qsizetype cell);
    // A character's byte in the code page, as two hex digits; "??" for one
    // that has none.
    static QString byteText(const WireDocument &text, qsizetype position);
    // What a character shows as in its cell: itself, a control character as
    // its control picture, anything else that draws as nothing as a middle dot.
    static QString cellText(const WireDocument &text, qsizetype position);
    // Whether a surrogate pair starts at `position`.
    static bool pairsAt(const WireDocument &text, qsizetype position);

private:
    void scan(const WireDocument &text, qsizetype from, qsizetype to);

    // Where each surrogate pair starts, in order.
    std::vector<qsizetype> m_pairs;
    qsizetype m_size = 0;
};
