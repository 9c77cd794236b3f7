#include "CaretMoves.h"

#include "CharacterMetrics.h"
#include "RowLayout.h"
#include "TextRules.h"
#include "WireDocument.h"

namespace CaretMoves {

qsizetype caretRow(const RowLayout &rows, const Caret &caret)
{
    const qsizetype row = rows.rowAt(caret.position);
    return caret.atRowEnd && row > 0 && rows.rowStart(row) == caret.position ? row - 1 : row;
}

namespace {

// Up or down by `count` rows, keeping to the column.
Caret vertical(const WireDocument &text, RowLayout &rows, const Caret &caret, qsizetype count)
{
    Caret moved;
    moved.wantedX = caret.wantedX;
    const qsizetype row = caretRow(rows, caret);
    if (moved.wantedX < 0) {
        // Whole pixels, as a view shows the caret.
        const int x = rows.walk(text, rows.rowStart(row), caret.position);
        moved.wantedX = x / CharacterMetrics::unitsPerPixel * CharacterMetrics::unitsPerPixel;
    }
    const qsizetype target = row + count;
    if (target < 0)
        return moved; // position 0
    while (target >= rows.knownRows() && !rows.isComplete())
        rows.layOutMore(text, rows.slice());
    if (target >= rows.rowCount()) {
        moved.position = text.size();
        return moved;
    }
    moved.position = rows.positionInRow(text, target, moved.wantedX, &moved.atRowEnd);
    return moved;
}

} // namespace

qsizetype alongText(const WireDocument &text, Move move, qsizetype position, bool select)
{
    const bool collapse = text.hasSelection() && !select;
    switch (move) {
    case Move::NextChar:
        return collapse ? text.selectionEnd() : TextRules::nextStop(text, position);
    case Move::PreviousChar:
        return collapse ? text.selectionStart() : TextRules::previousStop(text, position);
    case Move::NextWord:
        return TextRules::nextWordStart(text, position);
    case Move::PreviousWord:
        return TextRules::previousWordStart(text, position);
    case Move::LineStart:
        return TextRules::lineStart(text, position);
    case Move::LineEnd:
        return TextRules::beforeLineEnd(text, position, TextRules::lineEndAfter(text, position));
    case Move::DocumentStart:
        return 0;
    case Move::DocumentEnd:
        return text.size();
    default:
        return position;
    }
}

Caret target(const WireDocument &text, RowLayout &rows, Move move, const Caret &caret, bool select,
             qsizetype pageRows)
{
    Caret moved{caret.position, false, -1};
    switch (move) {
    case Move::NextRow:
    case Move::PreviousRow:
        return vertical(text, rows, caret, move == Move::NextRow ? 1 : -1);
    case Move::NextPage:
    case Move::PreviousPage:
        return vertical(text, rows, caret, move == Move::NextPage ? pageRows : -pageRows);
    case Move::RowStart:
        moved.position = rows.rowStart(caretRow(rows, caret));
        break;
    case Move::RowEnd: {
        const qsizetype row = caretRow(rows, caret);
        moved.position =
            TextRules::beforeLineEnd(text, rows.rowStart(row), rows.rowEnd(row, text.size()));
        moved.atRowEnd = row + 1 < rows.rowCount() && moved.position == rows.rowStart(row + 1);
        break;
    }
    default:
        moved.position = alongText(text, move, caret.position, select);
        break;
    }
    return moved;
}

} // namespace CaretMoves
