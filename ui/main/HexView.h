#pragma once

#include "HexLayout.h"
#include "RowView.h"

class QRect;
class WireDocument;
class WireMetrics;

// The hex dump: the same document, sixteen characters to a row, each shown as
// its byte in the code page and as itself, one fixed-width cell each, laid out
// by a HexLayout. Caret and selection stay the document's; the dump takes no
// typing, paste or drop, and its rows are the same at any width.
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

    bool isEditable() const override { return false; }
    bool scrollsByPage() const override { return false; }

    void layOut(int width) override;
    bool suitsWidth(int) const override { return true; }
    void changed(qsizetype from, qsizetype removed, qsizetype added) override;
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

    qsizetype positionAt(qsizetype row, int x, bool *atRowEnd) const override;
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
};
