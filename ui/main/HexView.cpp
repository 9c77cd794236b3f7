#include "HexView.h"

#include "CodePageTable.h"
#include "HexInput.h"
#include "TextRules.h"
#include "WireDocument.h"
#include "WireMetrics.h"

#include <QPainter>

namespace {

// A character of `text` for a message: a control character as its picture.
QString shown(QStringView text, qsizetype characterNumber)
{
    const QList<uint> characters = text.toUcs4();
    const char32_t c = characters.value(characterNumber - 1);
    return c < 0x10000 ? QString(QChar(TextRules::controlPicture(char16_t(c))))
                       : QString::fromUcs4(&c, 1);
}

} // namespace

HexView::HexView(const WireDocument &text, const WireMetrics &metrics)
    : m_text(text), m_metrics(metrics)
{
}

void HexView::layOut(int)
{
    m_layout.setCellWidth(m_metrics.spaceAdvance());
    m_layout.rebuild(m_text);
}

void HexView::followChange(qsizetype from, qsizetype removed, qsizetype added)
{
    m_layout.followChange(m_text, from, removed, added);
}

RowView::Entry HexView::typing(const CaretMoves::Caret &caret, const QString &typed)
{
    if (!m_editable)
        return Entry(); // no digit waits where nothing goes in
    if (caret.column == HexLayout::Column::Characters) {
        if (CodePageTable::firstWithoutByte(typed) >= 0)
            return Entry::refused(
                QStringLiteral("%1 has no byte in Windows-1252, and every cell of the dump is "
                               "one byte: it is not typed.")
                    .arg(typed));
        return Entry::of(typed, m_overwrite);
    }
    for (const QChar c : typed) {
        if (HexInput::digitValue(c.unicode()) < 0)
            return Entry::refused(
                QStringLiteral("The byte column takes hex digits, two to a byte (0-9, A-F). "
                               "Click the characters on the right to type text."));
    }
    QString bytes;
    for (const QChar c : typed) {
        const int digit = HexInput::digitValue(c.unicode());
        if (m_pendingDigit < 0) {
            m_pendingDigit = digit;
        } else {
            bytes += QChar(CodePageTable::characterOf(uchar(m_pendingDigit * 16 + digit)));
            m_pendingDigit = -1;
        }
    }
    Entry entry = Entry::of(bytes, m_overwrite);
    entry.waits = bytes.isEmpty();
    return entry;
}

RowView::Entry HexView::pasting(const CaretMoves::Caret &caret, const QString &pasted) const
{
    if (caret.column == HexLayout::Column::Characters)
        return Entry::of(pasted);
    const HexInput::Pairs pairs = HexInput::readPairs(pasted);
    if (pairs.badAt == 0)
        return Entry::of(CodePageTable::decode(pairs.bytes));
    const QString refusal =
        pairs.odd
            ? QStringLiteral("Nothing pasted: the hex digits are odd in number, and digit %1 "
                             "(character %2) has no partner.")
            : QStringLiteral("Nothing pasted: character %2 (%1) is not part of a hex pair. The "
                             "byte column takes pairs such as 0D 0A, 1b:5b or 0x41,0x42.");
    return Entry::refused(refusal.arg(shown(pasted, pairs.badAt)).arg(pairs.badAt));
}

bool HexView::toggleOverwrite()
{
    m_overwrite = !m_overwrite && m_editable;
    return m_editable;
}

bool HexView::dropPendingDigit()
{
    return std::exchange(m_pendingDigit, -1) >= 0;
}

CaretMoves::Caret HexView::caretAt(qsizetype row, int x) const
{
    const int units = x * WireMetrics::unitsPerPixel;
    CaretMoves::Caret caret;
    caret.position = m_layout.positionAt(row, units, true);
    caret.column = m_layout.columnAt(units);
    return caret;
}

qsizetype HexView::characterAt(qsizetype row, int x)
{
    return m_layout.positionAt(row, x * WireMetrics::unitsPerPixel, false);
}

RowView::Place HexView::placeOf(qsizetype position, HexLayout::Column column) const
{
    const HexLayout::Span span = m_layout.cellSpan(position, column);
    return {rowAt(position), span.left / WireMetrics::unitsPerPixel,
            span.right / WireMetrics::unitsPerPixel};
}

RowView::Place HexView::characterPlace(qsizetype position)
{
    return placeOf(position, HexLayout::Column::Characters);
}

RowView::Place HexView::caretPlace(const CaretMoves::Caret &caret) const
{
    const Place cell = placeOf(caret.position, caret.column);
    return {cell.row, cell.left, cell.left + 1};
}

QRect HexView::cellRect(const QPoint &origin, qsizetype position, HexLayout::Column column) const
{
    const Place place = placeOf(position, column);
    return {origin.x() + place.left, origin.y(), qMax(1, place.right - place.left),
            m_metrics.rowHeight()};
}

CaretMoves::Caret HexView::target(CaretMoves::Move move, const CaretMoves::Caret &caret,
                                  bool select, qsizetype pageRows)
{
    return {m_layout.target(m_text, move, caret.position, select, pageRows), false, -1,
            caret.column};
}

void HexView::paintRow(QPainter &painter, qsizetype row, const QPoint &origin,
                       const Colours &colours) const
{
    const std::vector<qsizetype> cells = rows().cellsOfRow(m_text, row);
    painter.setFont(m_metrics.font());
    const qreal baseline = origin.y() + m_metrics.baseline();
    const qsizetype caret = m_text.position();
    const bool pending = m_pendingDigit >= 0 && rowAt(caret) == row;
    if (!cells.empty() || row == 0) { // not the row after a full last row
        painter.setPen(colours.aside);
        painter.drawText(
            QPointF(origin.x() + m_layout.offsetSpan().left / WireMetrics::unitsPerPixel, baseline),
            HexRows::offsetText(row * HexRows::cellsPerRow));
    }
    const OriginSpans &origins = m_text.origins();
    const bool anyStatus =
        !cells.empty() && origins.holds(cells.front(), rowEnd(row), Origin::Status);
    for (const qsizetype at : cells) {
        const bool selected = at >= m_text.selectionStart() && at < m_text.selectionEnd();
        const QRect byteCell = cellRect(origin, at, HexLayout::Column::Bytes);
        const QRect characterCell = cellRect(origin, at, HexLayout::Column::Characters);
        // The cells of the program's own status lines are tinted.
        if (selected || (anyStatus && origins.spanAt(at).stamp.origin == Origin::Status)) {
            const QColor &fill = selected ? colours.highlight : colours.statusTint;
            painter.fillRect(byteCell, fill);
            painter.fillRect(characterCell, fill);
        }
        painter.setPen(selected ? colours.highlightedText : colours.text);
        painter.drawText(QPointF(byteCell.left(), baseline), HexRows::byteText(m_text, at));
        // Each character in its own cell, whatever its glyph's width.
        painter.save();
        painter.setClipRect(characterCell);
        painter.drawText(QPointF(characterCell.left(), baseline), HexRows::cellText(m_text, at));
        painter.restore();
    }
    // A digit typed waits in the caret's byte cell for the second.
    if (pending) {
        const QRect cell = cellRect(origin, caret, HexLayout::Column::Bytes);
        painter.fillRect(cell, colours.highlight);
        painter.setPen(colours.highlightedText);
        painter.drawText(QPointF(cell.left(), baseline),
                         QString::number(m_pendingDigit, 16).toUpper() + u'_');
    }
}

void HexView::paintCaret(QPainter &painter, const CaretMoves::Caret &caret, const QPoint &origin,
                         const QColor &colour) const
{
    // A caret in each column; where the dump takes typing, the other column's
    // is faint, and typing over shows as a framed block over the cell.
    for (const HexLayout::Column column :
         {HexLayout::Column::Bytes, HexLayout::Column::Characters}) {
        const QRect cell = cellRect(origin, caret.position, column);
        const bool typesHere = m_editable && column == caret.column;
        QColor shade = colour;
        if (typesHere && m_overwrite) {
            painter.setPen(colour);
            painter.drawRect(cell.adjusted(0, 0, -1, -1));
            shade.setAlphaF(0.25f);
            painter.fillRect(cell, shade);
            continue;
        }
        if (m_editable && !typesHere)
            shade.setAlphaF(0.4f);
        painter.fillRect(QRect(cell.topLeft(), QSize(1, cell.height())), shade);
    }
}
