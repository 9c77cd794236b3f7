// The hex dump: the same document, sixteen characters to a row, each shown as
// its byte in the code page and as itself, one fixed-width cell each.
#include "WireTextEdit.h"

#include "CodePage1252.h"
#include "KeyMoves.h"
#include "TextRules.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

constexpr int margin = 4;
// Columns, in cells: the offset, then the bytes (three cells each, one more
// between the two halves of the row), then the characters.
constexpr int bytesColumn = 10;
constexpr int charactersColumn = bytesColumn + 3 * 16 + 2;

int byteColumnOf(qsizetype cell)
{
    return bytesColumn + 3 * int(cell) + (cell >= 8 ? 1 : 0);
}

// The byte of a character in the code page, as two hex digits; "??" for one
// it cannot carry.
QString byteText(const WireDocument &text, qsizetype position)
{
    const QChar c(text.at(position));
    if (HexRows::pairsAt(text, position) || CodePage1252::firstUnencodable(QStringView(&c, 1)) == 0)
        return QStringLiteral("??");
    const QByteArray byte = CodePage1252::encode(QStringView(&c, 1));
    return QString::number(quint8(byte[0]), 16).toUpper().rightJustified(2, u'0');
}

} // namespace

void WireTextEdit::setHexShown(bool shown)
{
    if (shown == m_hex)
        return;
    m_hex = shown;
    const qsizetype position = m_document.position();
    if (m_hex) {
        m_layoutTimer.stop();
        m_hexRows.rebuild(m_document);
    } else {
        // The rows of the text were left alone while the dump was shown.
        relayout();
    }
    setAcceptDrops(!m_hex);
    viewport()->setAcceptDrops(!m_hex);
    updateScrollRange();
    verticalScrollBar()->setValue(0);
    ensureVisible(position);
    viewport()->update();
}

QPair<qsizetype, qsizetype> WireTextEdit::shownRow(qsizetype position)
{
    position = qBound<qsizetype>(0, position, m_document.size());
    if (m_hex) {
        const qsizetype row = m_hexRows.rowAt(position);
        return {m_hexRows.rowStart(row), m_hexRows.rowStart(row + 1)};
    }
    m_layout.layOutThrough(m_document, position);
    const qsizetype row = m_layout.rowAt(position);
    return {m_layout.rowStart(row), m_layout.rowEnd(row, m_document.size())};
}

qreal WireTextEdit::hexColumnX(qreal column) const
{
    return margin + column * m_metrics->cell() / WireMetrics::unitsPerPixel;
}

QRect WireTextEdit::hexCellRect(qsizetype position, bool byteColumn) const
{
    const qsizetype cell = m_hexRows.cellOf(position);
    const qsizetype row = cell / HexRows::cellsPerRow;
    const qsizetype inRow = cell % HexRows::cellsPerRow;
    const qreal left = hexColumnX(byteColumn ? byteColumnOf(inRow) : charactersColumn + inRow);
    const qreal right =
        hexColumnX(byteColumn ? byteColumnOf(inRow) + 2 : charactersColumn + inRow + 1);
    return QRect(QPoint(int(left), rowOrigin(row).y()),
                 QSize(qMax(1, int(right) - int(left)), m_metrics->rowHeight()));
}

qsizetype WireTextEdit::hexPositionAt(const QPoint &point, bool nearest) const
{
    const int offset = point.y() < margin ? -1 : (point.y() - margin) / m_metrics->rowHeight();
    const qsizetype row = qBound(qsizetype(0), qsizetype(verticalScrollBar()->value() + offset),
                                 m_hexRows.rowCount() - 1);
    const qreal cellWidth = qreal(m_metrics->cell()) / WireMetrics::unitsPerPixel;
    const qreal column = (point.x() - margin) / cellWidth;
    qreal inRow = column >= charactersColumn - 1
                      ? column - charactersColumn
                      : (column - bytesColumn - (column >= byteColumnOf(8) - 1 ? 1 : 0)) / 3;
    inRow = qBound(qreal(0), inRow + (nearest ? 0.5 : 0),
                   qreal(HexRows::cellsPerRow - (nearest ? 0 : 1)));
    return m_hexRows.positionOfCell(row * HexRows::cellsPerRow + qsizetype(inRow));
}

void WireTextEdit::paintHex(QPainter &painter, const QRect &clip)
{
    const QPalette::ColorGroup group = colourGroup();
    const QPalette &colours = palette();
    const int rowHeight = m_metrics->rowHeight();
    painter.setFont(font());
    for (qsizetype row = verticalScrollBar()->value() + qMax(0, (clip.top() - margin) / rowHeight);
         row < m_hexRows.rowCount(); ++row) {
        const QPoint origin = rowOrigin(row);
        if (origin.y() > clip.bottom())
            break;
        const std::vector<qsizetype> cells = m_hexRows.cellsOfRow(m_document, row);
        if (cells.empty() && row > 0)
            break;
        const qreal baseline = origin.y() + m_metrics->baseline();
        painter.setPen(colours.color(group, QPalette::PlaceholderText));
        painter.drawText(QPointF(hexColumnX(0), baseline),
                         HexRows::offsetText(row * HexRows::cellsPerRow));
        for (const qsizetype at : cells) {
            const bool selected = at >= selectionStart() && at < selectionEnd();
            const QRect byteCell = hexCellRect(at, true);
            const QRect characterCell = hexCellRect(at, false);
            if (selected) {
                painter.fillRect(byteCell, colours.brush(group, QPalette::Highlight));
                painter.fillRect(characterCell, colours.brush(group, QPalette::Highlight));
            }
            painter.setPen(
                colours.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
            painter.drawText(QPointF(byteCell.left(), baseline), byteText(m_document, at));
            // Each character in its own cell, whatever its glyph's width.
            painter.save();
            painter.setClipRect(characterCell);
            painter.drawText(QPointF(characterCell.left(), baseline),
                             HexRows::cellText(m_document, at));
            painter.restore();
        }
    }
    if (hasFocus() && m_caretShown) {
        const qsizetype position = m_document.position();
        for (const bool byteColumn : {true, false}) {
            const QRect cell = hexCellRect(position, byteColumn);
            painter.fillRect(QRect(cell.topLeft(), QSize(1, cell.height())),
                             colours.brush(group, QPalette::Text));
        }
    }
}

bool WireTextEdit::handleHexKey(QKeyEvent *event)
{
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return true;
    }
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return true;
    }
    const std::optional<KeyMoves::KeyMove> key = KeyMoves::moveFor(event);
    if (!key) {
        // Nothing else changes the text while the dump is shown.
        return KeyMoves::isEditingKey(event);
    }
    using CaretMoves::Move;
    const qsizetype position = m_document.position();
    const qsizetype cell = m_hexRows.cellOf(position);
    const qsizetype page = fullRows() * HexRows::cellsPerRow;
    qsizetype target = position;
    switch (key->move) {
    case Move::NextRow:
        target = m_hexRows.positionOfCell(cell + HexRows::cellsPerRow);
        break;
    case Move::PreviousRow:
        target = m_hexRows.positionOfCell(qMax<qsizetype>(0, cell - HexRows::cellsPerRow));
        break;
    case Move::NextPage:
        target = m_hexRows.positionOfCell(cell + page);
        break;
    case Move::PreviousPage:
        target = m_hexRows.positionOfCell(qMax<qsizetype>(0, cell - page));
        break;
    case Move::RowStart:
    case Move::LineStart:
        target = m_hexRows.rowStart(m_hexRows.rowAt(position));
        break;
    case Move::RowEnd:
    case Move::LineEnd:
        target = qMax(position, m_hexRows.rowStart(m_hexRows.rowAt(position) + 1) -
                                    (m_hexRows.rowAt(position) + 1 < m_hexRows.rowCount()));
        break;
    default:
        target = CaretMoves::target(m_document, m_layout, key->move, {position, false, -1},
                                    key->select, 1)
                     .position;
        break;
    }
    moveCursor(target, key->select);
    if (key->select)
        selectionToSelectionClipboard();
    return true;
}
