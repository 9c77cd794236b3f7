#pragma once

#include "RowLayout.h"
#include "RowPainter.h"
#include "RowView.h"

class WireDocument;
class WireMetrics;

// The text as it wraps: rows from a RowLayout, painted by a RowPainter. A
// lone CR or LF ends a row, a long line wraps at the view's width.
class TextView : public RowView
{
public:
    TextView(const WireDocument &text, const WireMetrics &metrics);

    const RowLayout &rows() const { return m_rows; }
    void setSlice(qsizetype characters) { m_rows.setSlice(characters); }
    // The font changed: marks are drawn anew.
    void forgetMarks() { m_painter.forgetMarks(); }

    bool isEditable() const override { return true; }
    Entry typing(const CaretMoves::Caret &, const QString &typed) override
    {
        return Entry::of(typed, false, typed.size() == 1);
    }
    Entry pasting(const CaretMoves::Caret &, const QString &pasted) const override
    {
        return Entry::of(pasted);
    }
    bool scrollsByPage() const override { return true; }

    void layOut(int width) override;
    bool suitsWidth(int width) const override { return width == m_rows.width(); }
    void followChange(qsizetype from, qsizetype removed, qsizetype added) override;
    bool isComplete() const override { return m_rows.isComplete(); }
    bool layOutMore() override;
    bool isLaidOut(qsizetype position) const override { return m_rows.isLaidOut(position); }
    void layOutThrough(qsizetype position) override;

    qsizetype rowCount() const override { return m_rows.knownRows(); }
    qsizetype rowStart(qsizetype row) const override { return m_rows.rowStart(row); }
    qsizetype rowEnd(qsizetype row) const override;
    qsizetype rowAt(qsizetype position) const override { return m_rows.rowAt(position); }
    qsizetype caretRow(const CaretMoves::Caret &caret) const override;

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
    // Pixels from the left edge of `row` to `position` in it.
    int xOf(qsizetype row, qsizetype position) const;

    const WireDocument &m_text;
    const WireMetrics &m_metrics;
    RowLayout m_rows;
    RowPainter m_painter;
};
