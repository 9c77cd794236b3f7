#pragma once

#include "RowStarts.h"

#include <functional>
#include <limits>

class CharacterMetrics;
class TextStore;
class WireDocument;

// Where the rows of a document's text start, for a view of a given width. A
// row ends at a line end (CR LF, a lone CR or a lone LF, as TextRules tell
// them apart) or where the line wraps: after the last
// space or tab that lets the row fit, or anywhere inside a word longer than
// the row. Nothing else ever ends a row, however long the line.
//
// After an edit only the rows around it are wrapped again, until they fall
// back in step with the rows that were there before; an append costs in
// proportion to the piece. A large insertion is laid out later, a slice at a
// time (updateLater, layOutMore): until then the rows are known up to where
// layout has got to.
class RowLayout
{
public:
    // `width` is in CharacterMetrics units.
    void setGeometry(const CharacterMetrics *metrics, int width);
    int width() const { return m_width; }

    void relayout(const WireDocument &text);
    // The text has changed: [from, from + removed) was replaced by `added`
    // characters; `text` is the text afterwards. Wraps at most about `budget`
    // characters now and leaves the rest for layOutMore(); returns whether
    // every row is known.
    bool update(const WireDocument &text, qsizetype from, qsizetype removed, qsizetype added,
                qsizetype budget = std::numeric_limits<qsizetype>::max());

    // The text has changed as for update(), but the rows from the edit on are
    // left for layOutMore(). followChange() does one or the other: an insertion
    // longer than the slice is laid out later, a slice at a time.
    void updateLater(qsizetype from);
    void followChange(const WireDocument &text, qsizetype from, qsizetype removed, qsizetype added);
    void setSlice(qsizetype characters) { m_slice = qMax<qsizetype>(1, characters); }
    qsizetype slice() const { return m_slice; }
    // Lays the whole text out anew: at once, or from the start in slices
    // when it is longer than one.
    void relayoutInSlices(const WireDocument &text);
    // Whether the row holding `position` is known; layOutThrough() lays out
    // as far as it.
    bool isLaidOut(qsizetype position) const
    {
        return !m_pending || position < m_rows.at(knownRows());
    }
    void layOutThrough(const WireDocument &text, qsizetype position);
    // Lays out about `budget` more characters; returns whether every row is known.
    bool layOutMore(const WireDocument &text, qsizetype budget);
    bool isComplete() const { return !m_pending; }
    // The rows that are known: all of them, or all but the last, which starts
    // where layout goes on.
    qsizetype knownRows() const { return m_pending ? m_rows.count() - 1 : m_rows.count(); }

    qsizetype rowCount() const { return m_rows.count(); }
    qsizetype rowStart(qsizetype row) const { return m_rows.at(row); }
    qsizetype rowEnd(qsizetype row, qsizetype textSize) const
    {
        return row + 1 < m_rows.count() ? m_rows.at(row + 1) : textSize;
    }
    qsizetype rowAt(qsizetype position) const { return m_rows.rowAt(position); }

    // Walks the characters of [from, to), which lie in one row, in order:
    // `visit` gets each character's position, length (2 for a CR LF or a
    // surrogate pair) and advance. Returns the row's width up to `to`.
    int walk(const WireDocument &text, qsizetype from, qsizetype to,
             const std::function<void(qsizetype, int, int)> &visit = {}) const;
    // The position nearest to `x` (units from the row's start) in a row;
    // past the end of a row that wraps, that is where the next row starts,
    // and `atRowEnd` says so.
    qsizetype positionInRow(const WireDocument &text, qsizetype row, int x,
                            bool *atRowEnd = nullptr) const;

private:
    // The first row an edit at `from` can change.
    qsizetype firstRowToWrap(qsizetype from) const;
    // Wraps from the row start `start` onwards; `rowFound` gets each further
    // row start and returns false to stop.
    template <typename RowFound>
    void wrap(const WireDocument &text, qsizetype start, RowFound rowFound) const;
    struct Wrapping;
    struct PlainBytes;
    // Wraps on through one block of the store, held as `units` that index
    // `entries` (CharacterMetrics entries), from where `wrapping` has got to;
    // a block of bytes takes its `plain` ones by arithmetic. Returns false
    // when `rowFound` stops it.
    template <typename Unit, typename RowFound>
    bool wrapRun(const TextStore &store, const Unit *units, const quint32 *entries,
                 const PlainBytes &plain, qsizetype runStart, qsizetype runEnd, Wrapping &wrapping,
                 RowFound &rowFound) const;

    const CharacterMetrics *m_metrics = nullptr;
    int m_width = 1;
    RowStarts m_rows;
    bool m_pending = false;
    qsizetype m_slice = qsizetype(1) << 20;
};
