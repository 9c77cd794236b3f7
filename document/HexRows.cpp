#include "HexRows.h"

#include "CodePageTable.h"
#include "TextRules.h"
#include "WireDocument.h"

#include <QChar>

#include <algorithm>

bool HexRows::pairsAt(const WireDocument &text, qsizetype position)
{
    return position + 1 < text.size() && QChar::isHighSurrogate(text.at(position)) &&
           QChar::isLowSurrogate(text.at(position + 1));
}

void HexRows::scan(const WireDocument &text, qsizetype from, qsizetype to)
{
    from = qMax<qsizetype>(0, from);
    to = qMin(to, text.size());
    // Only text kept as UTF-16 can hold a surrogate, so only that is read:
    // a dump of what a peer sent is shown without reading its bytes.
    std::vector<qsizetype> found;
    text.forEachWideRun(from, to, [&](qsizetype start, QStringView units) {
        for (qsizetype i = 0; i < units.size(); ++i) {
            if (units[i].isHighSurrogate() && pairsAt(text, start + i))
                found.push_back(start + i++);
        }
    });
    const auto at = std::lower_bound(m_pairs.begin(), m_pairs.end(), from);
    const auto end = std::lower_bound(at, m_pairs.end(), to);
    m_pairs.erase(at, end);
    m_pairs.insert(std::lower_bound(m_pairs.begin(), m_pairs.end(), from), found.begin(),
                   found.end());
}

void HexRows::rebuild(const WireDocument &text)
{
    m_pairs.clear();
    m_size = text.size();
    scan(text, 0, m_size);
}

void HexRows::followChange(const WireDocument &text, qsizetype from, qsizetype removed,
                           qsizetype added)
{
    // Pairs from just before the edit on are found again where the edit can
    // have made or broken one; those after it only move.
    const auto first = std::lower_bound(m_pairs.begin(), m_pairs.end(), from - 1);
    const auto last = std::lower_bound(first, m_pairs.end(), from + removed);
    const auto kept = m_pairs.erase(first, last);
    for (auto moved = kept; moved != m_pairs.end(); ++moved)
        *moved += added - removed;
    m_size = text.size();
    scan(text, from - 1, from + added + 1);
}

qsizetype HexRows::cellOf(qsizetype position) const
{
    return position -
           (std::lower_bound(m_pairs.begin(), m_pairs.end(), position) - m_pairs.begin());
}

qsizetype HexRows::positionOfCell(qsizetype cell) const
{
    // The pairs whose cells come before `cell` each take one more position.
    qsizetype low = 0;
    qsizetype high = qsizetype(m_pairs.size());
    while (low < high) {
        const qsizetype middle = (low + high) / 2;
        if (m_pairs[size_t(middle)] - middle < cell)
            low = middle + 1;
        else
            high = middle;
    }
    return qMin(m_size, cell + low);
}

QString HexRows::offsetText(qsizetype cell)
{
    return QString::number(cell, 16).toUpper().rightJustified(8, u'0');
}

std::vector<qsizetype> HexRows::cellsOfRow(const WireDocument &text, qsizetype row) const
{
    std::vector<qsizetype> cells;
    const qsizetype end = rowStart(row + 1);
    for (qsizetype at = rowStart(row); at < end; at += pairsAt(text, at) ? 2 : 1)
        cells.push_back(at);
    return cells;
}

QString HexRows::byteText(const WireDocument &text, qsizetype position)
{
    const auto &bytes = CodePageTable::byteTable();
    const char16_t c = text.at(position);
    if (pairsAt(text, position) || !CodePageTable::hasByte(bytes, c))
        return QStringLiteral("??");
    return QString::number(bytes[c], 16).toUpper().rightJustified(2, u'0');
}

QString HexRows::cellText(const WireDocument &text, qsizetype position)
{
    if (pairsAt(text, position))
        return text.text(position, position + 2);
    const char16_t c = text.at(position);
    const char16_t picture = TextRules::controlPicture(c);
    if (picture != c)
        return QString(QChar(picture));
    if (TextRules::markKindOf(c) != TextRules::MarkKind::None)
        return QString(QChar(0x00B7));
    return QString(QChar(c));
}
