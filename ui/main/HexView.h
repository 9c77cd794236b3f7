#pragma once

#include "HexLayout.h"
#include "RowView.h"

class QRect;
class WireDocument;
class WireMetrics;

// The hex dump: the same document, sixteen characters to a row, each shown as
// its byte in the code page and as itself, one fixed-width cell each, laid out
// by a HexLayout; its rows are the same at any width. Caret and selection stay
// the document's, and the caret stands in one of the two columns.
//
// Only if made editable does it take edits (the outgoing box's dump; the
// transcript's takes none). Then, in the byte column, two hex digits typed
// make a byte, the first shown in the caret's cell until the second comes,
// and a paste is read as hex pairs (HexInput); in the character column,
// characters go in as typed or pasted, but a typed one needs a byte in the
// code page, since every cell shows one. Insert switches to typing over the
// characters after the caret, shown by a block caret.
class HexView : public RowView
{
public:
    HexView(const WireDocument &text, const WireMetrics &metrics);

    const HexRows &rows() const { return m_layout.rows(); }
    // Where the character at `position` shows in the bytes column
    // (characterPlace() is its place among the characters).
    Place bytePlace(qsizetype position) const
    {
        return placeOf(position, HexLayout::Column::Bytes);
    }

    void setEditable(bool editable) { m_editable = editable; }
    bool isEditable() const override { return m_editable; }
    Entry typing(const CaretMoves::Caret &caret, const QString &typed) override;
    Entry pasting(const CaretMoves::Caret &caret, const QString &pasted) const override;
    bool toggleOverwrite() override;
    bool dropPendingDigit() override;
    bool scrollsByPage() const override { return false; }

    void layOut(int width) override;
    bool suitsWidth(int) const override { return true; }
    void followChange(qsizetype from, qsizetype removed, qsizetype added) override;
    bool isComplete() const override { return true; }
    bool layOutMore() override { return true; }
    bool isLaidOut(qsizetype) const override { return true; }
    void layOutThrough(qsizetype) override {}

    qsizetype rowCount() const override { return rows().rowCount(); }
    qsizetype rowStart(qsizetype row) const override { return rows().rowStart(row); }
    qsizetype rowEnd(qsizetype row) const override { return rows().rowStart(row + 1); }
    qsizetype rowAt(qsizetype position) const override { return rows().rowAt(position); }
    qsizetype caretRow(const CaretMoves::Caret &caret) const override
    {
        return rowAt(caret.position);
    }

    CaretMoves::Caret caretAt(qsizetype row, int x) const override;
    qsizetype characterAt(qsizetype row, int x) override;
    Place characterPlace(qsizetype position) override;
    Place caretPlace(const CaretMoves::Caret &caret) const override;

    CaretMoves::Caret target(CaretMoves::Move move, const CaretMoves::Caret &caret, bool select,
                             qsizetype pageRows) override;

    void paintRow(QPainter &painter, qsizetype row, const QPoint &origin,
                  const Colours &colours) const override;
    void paintCaret(QPainter &painter, const CaretMoves::Caret &caret, const QPoint &origin,
                    const QColor &colour) const override;

private:
    // Where the character at `position` shows in `column`, in pixels from the
    // row's left edge.
    Place placeOf(qsizetype position, HexLayout::Column column) const;
    QRect cellRect(const QPoint &origin, qsizetype position, HexLayout::Column column) const;

    const WireDocument &m_text;
    const WireMetrics &m_metrics;
    HexLayout m_layout;
    bool m_editable = false;
    bool m_overwrite = false;
    // The first hex digit of a byte, typed at the caret; -1 for none.
    int m_pendingDigit = -1;
};
