#pragma once

#include "CaretMoves.h"

#include <QColor>
#include <QString>

class QPainter;
class QPoint;

// One way a WireTextEdit shows its document in rows: the text as it wraps
// (TextView) or the hex dump (HexView). The box holds the view it shows and
// asks it about rows, places and caret moves; it keeps the frame itself: the
// margin, which row is on top, how tall a row is. So a place in a row is in
// pixels from the row's left edge, wherever the box puts that edge.
class RowView
{
public:
    // What rows are painted with, from the box's palette in its present state.
    struct Colours
    {
        QColor text;
        QColor base;
        QColor highlight;
        QColor highlightedText;
        // What is shown beside the text rather than of it (the dump's offsets).
        QColor aside;
        // Behind the characters of the program's own status lines.
        QColor statusTint;
    };
    // Where something stands: its row, and [left, right) in pixels from the
    // row's left edge.
    struct Place
    {
        qsizetype row;
        int left;
        int right;
    };
    // What typing or pasting puts in at the caret, as this view reads it.
    struct Entry
    {
        // In place of the selection, or, with `overwrite`, over the
        // characters after the caret; `merge` joins the typing before it for
        // undo (EditCommands::type).
        QString text;
        bool overwrite = false;
        bool merge = false;
        // Nothing goes in yet: a hex digit waits for its pair.
        bool waits = false;
        // Why nothing goes in, for a tip at the caret.
        QString refusal;

        static Entry of(const QString &text, bool overwrite = false, bool merge = false)
        {
            Entry entry;
            entry.text = text;
            entry.overwrite = overwrite;
            entry.merge = merge;
            return entry;
        }
        static Entry refused(const QString &why)
        {
            Entry entry;
            entry.refusal = why;
            return entry;
        }
    };

    virtual ~RowView() = default;

    // Whether the user may change the text in this view: type, paste, drop,
    // undo, or edit it through a screen reader.
    virtual bool isEditable() const = 0;
    // What typing `typed`, or pasting `pasted`, with the caret at `caret`
    // puts in. The text takes either as it is.
    virtual Entry typing(const CaretMoves::Caret &caret, const QString &typed) = 0;
    virtual Entry pasting(const CaretMoves::Caret &caret, const QString &pasted) const = 0;
    // The Insert key: switches between inserting and typing over, where the
    // view does both; returns whether it does.
    virtual bool toggleOverwrite() { return false; }
    // Drops a hex digit that waits for its pair (Escape, or the caret moved,
    // or the text changed); returns whether one waited.
    virtual bool dropPendingDigit() { return false; }
    // Whether PageUp and PageDown scroll the view a page before the caret
    // follows, or only move the caret and let the view follow it.
    virtual bool scrollsByPage() const = 0;

    // Lays the rows out anew, `width` (in units) wide, with the box's
    // metrics as they are now.
    virtual void layOut(int width) = 0;
    // Whether the rows as laid out suit a view `width` units wide.
    virtual bool suitsWidth(int width) const = 0;
    // Follows a change of the document: [from, from + removed) became `added`
    // characters.
    virtual void followChange(qsizetype from, qsizetype removed, qsizetype added) = 0;
    // A large insertion is laid out a slice at a time, between events:
    // layOutMore() lays out one more slice and returns whether every row is known.
    virtual bool isComplete() const = 0;
    virtual bool layOutMore() = 0;
    virtual bool isLaidOut(qsizetype position) const = 0;
    virtual void layOutThrough(qsizetype position) = 0;

    // The rows known so far, and the characters [rowStart, rowEnd) of each.
    virtual qsizetype rowCount() const = 0;
    virtual qsizetype rowStart(qsizetype row) const = 0;
    virtual qsizetype rowEnd(qsizetype row) const = 0;
    virtual qsizetype rowAt(qsizetype position) const = 0;
    // The row the caret is shown in.
    virtual qsizetype caretRow(const CaretMoves::Caret &caret) const = 0;

    // The caret a click at `x` in `row` puts down: at the position nearest
    // to it, at the end of a row that wraps rather than the start of the next
    // (atRowEnd), in the column clicked.
    virtual CaretMoves::Caret caretAt(qsizetype row, int x) const = 0;
    // The character under `x` in `row`.
    virtual qsizetype characterAt(qsizetype row, int x) = 0;
    // Where the character at `position` is shown, laying out as far as it.
    virtual Place characterPlace(qsizetype position) = 0;
    // Where the caret stands, once its row is laid out.
    virtual Place caretPlace(const CaretMoves::Caret &caret) const = 0;

    // Where `move` takes the caret; a page is `pageRows` rows.
    virtual CaretMoves::Caret target(CaretMoves::Move move, const CaretMoves::Caret &caret,
                                     bool select, qsizetype pageRows) = 0;

    // Paints a row, or the caret in its row, whose left edge and top are at `origin`.
    virtual void paintRow(QPainter &painter, qsizetype row, const QPoint &origin,
                          const Colours &colours) const = 0;
    virtual void paintCaret(QPainter &painter, const CaretMoves::Caret &caret, const QPoint &origin,
                            const QColor &colour) const = 0;
};
