#pragma once

#include <QtGlobal>

class RowLayout;
class WireDocument;

// Where each caret move takes the caret in a document shown in rows. The
// moves by character, word and line need only the text; the moves by row
// and page need its rows as well.
namespace CaretMoves {

enum class Move {
    NextChar,
    PreviousChar,
    NextWord,
    PreviousWord,
    NextRow,
    PreviousRow,
    NextPage,
    PreviousPage,
    RowStart,
    RowEnd,
    LineStart,
    LineEnd,
    DocumentStart,
    DocumentEnd,
};

// The dump's two columns, where the caret types bytes as hex digits or
// characters as themselves. The text has only characters.
enum class Column : quint8 { Bytes, Characters };

// The caret as a view keeps it. At a wrap, the caret can stand at the end of
// the row above instead of the start of the row below (`atRowEnd`, after End
// or a click past a row's end). Up and Down keep to the column they started
// from (`wantedX`, in CharacterMetrics units from the row's start; -1 when
// not moving up or down). In the dump it stands in one of its columns.
struct Caret
{
    qsizetype position = 0;
    bool atRowEnd = false;
    int wantedX = -1;
    Column column = Column::Bytes;
};

// The row the caret is shown in.
qsizetype caretRow(const RowLayout &rows, const Caret &caret);

// Where `move` takes the caret, `select` saying whether it extends the
// selection; a page is `pageRows` rows. Lays out as far as it needs to.
Caret target(const WireDocument &text, RowLayout &rows, Move move, const Caret &caret, bool select,
             qsizetype pageRows);

// Where a move that needs only the text (by character, word or line, or to
// either end) takes the caret at `position`, whatever view it is shown in; a
// move by row or page stays where it is.
qsizetype alongText(const WireDocument &text, Move move, qsizetype position, bool select);

} // namespace CaretMoves
