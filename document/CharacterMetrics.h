#pragma once

#include <QHash>
#include <QtGlobal>

#include <vector>

// How wide each character is, for laying text out in rows. Widths are whole
// 1/64ths of a pixel, so that rows add up the same way every time they are
// measured. A font, or a test's fixed widths, fills in measureAdvance().
class CharacterMetrics
{
public:
    static constexpr int unitsPerPixel = 64;
    static constexpr int toUnits(qreal pixels) { return int(pixels * unitsPerPixel + 0.5); }

    virtual ~CharacterMetrics() = default;

    // How a character is drawn: in one run with its neighbours (all of them
    // have the same advance), alone at its own place, or as its mark.
    enum class Drawn : quint8 { InRun, Alone, AsMark };

    // What a row needs to know of a character, packed in one word so that
    // measuring a row takes one lookup a character: its advance, how it is
    // drawn, whether a row may break after it, and whether it needs a closer
    // look (a line end, a tab, the first half of a surrogate pair).
    enum : quint32 { Measured = 1, Special = 2, BreakAfter = 4, DrawnShift = 3, AdvanceShift = 8 };
    quint32 entry(char16_t c) const
    {
        const quint32 known = m_entries[c];
        return known & Measured ? known : measure(c);
    }
    // The entries as they stand; one whose Measured bit is clear is asked
    // for with entry().
    const quint32 *entries() const { return m_entries.data(); }
    static int advanceOf(quint32 entry) { return int(entry >> AdvanceShift); }
    static Drawn drawnOf(quint32 entry) { return Drawn((entry >> DrawnShift) & 3u); }

    int advance(char16_t c) const { return advanceOf(entry(c)); }
    Drawn drawn(char16_t c) const { return drawnOf(entry(c)); }
    int pairAdvance(char16_t high, char16_t low) const;
    // A tab reaches the next stop after `x`, at least a little way on.
    int tabAdvance(int x) const { return m_tabStop - x % m_tabStop; }

protected:
    // `tabStop` in units.
    explicit CharacterMetrics(int tabStop);
    // The advance of one character, and how it is drawn.
    virtual int measureAdvance(char16_t c, Drawn *drawn) const = 0;
    virtual int measurePair(char16_t high, char16_t low) const = 0;

private:
    quint32 measure(char16_t c) const;

    int m_tabStop = 1;
    // Every UTF-16 code unit, measured the first time it is met.
    mutable std::vector<quint32> m_entries;
    mutable QHash<char32_t, int> m_pairs;
};
