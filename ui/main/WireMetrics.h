#pragma once

#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QRgb>
#include <QStringView>

#include <vector>

class QColor;
class QPainter;

// How wide each character of a WireTextEdit is, and how its marks look.
// Widths are whole 1/64ths of a pixel, so that rows add up the same way
// every time they are measured.
class WireMetrics
{
public:
    static constexpr int unitsPerPixel = 64;
    static constexpr int toUnits(qreal pixels) { return int(pixels * unitsPerPixel + 0.5); }

    explicit WireMetrics(const QFont &font = QFont());

    const QFont &font() const { return m_font; }
    int rowHeight() const { return m_rowHeight; }
    qreal baseline() const { return m_baseline; }

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

    // Draws the mark of `c` (WireText::markFor) with its top-left corner at
    // (x, top), in the colours `text` and `base`.
    void drawMark(QPainter &painter, qreal x, qreal top, char16_t c, const QColor &text,
                  const QColor &base) const;

private:
    quint32 measure(char16_t c) const;

    QFont m_font;
    QFont m_markFont;
    int m_rowHeight = 1;
    qreal m_baseline = 0;
    int m_cell = 1;
    int m_tabStop = 1;
    // Every UTF-16 code unit, measured the first time it is met.
    mutable std::vector<quint32> m_entries;
    mutable QHash<char32_t, int> m_pairs;
    // Marks, once drawn, by character, for the colours and pixel ratio they
    // were drawn for.
    mutable QHash<char16_t, QPixmap> m_markImages;
    mutable QRgb m_markText = 0;
    mutable QRgb m_markBase = 0;
    mutable qreal m_markRatio = 0;
};
