#include "CharacterMetrics.h"

#include "TextRules.h"

#include <QChar>

CharacterMetrics::CharacterMetrics(int tabStop) : m_tabStop(qMax(1, tabStop)), m_entries(0x10000, 0)
{
}

quint32 CharacterMetrics::measure(char16_t c) const
{
    Drawn drawn = Drawn::Alone;
    const int advance = measureAdvance(c, &drawn);
    quint32 flags = Measured;
    if (c == u'\r' || c == u'\n' || c == u'\t' || QChar::isHighSurrogate(c))
        flags |= Special;
    if (TextRules::isBreakAfter(c))
        flags |= BreakAfter;
    m_entries[c] = (quint32(advance) << AdvanceShift) | (quint32(drawn) << DrawnShift) | flags;
    return m_entries[c];
}

int CharacterMetrics::pairAdvance(char16_t high, char16_t low) const
{
    const char32_t codePoint = QChar::surrogateToUcs4(high, low);
    auto known = m_pairs.constFind(codePoint);
    if (known == m_pairs.constEnd())
        known = m_pairs.insert(codePoint, measurePair(high, low));
    return *known;
}
