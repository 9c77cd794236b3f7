#pragma once

#include "CharacterMetrics.h"

#include <QFont>

// The widths of characters in a font, as a text box shows them: a character
// with a mark (TextRules::markFor) is as wide as its label in the mark font.
class WireMetrics : public CharacterMetrics
{
public:
    explicit WireMetrics(const QFont &font = QFont());

    const QFont &font() const { return m_font; }
    // The font a mark's label is written in.
    const QFont &markFont() const { return m_markFont; }
    int rowHeight() const { return m_rowHeight; }
    qreal baseline() const { return m_baseline; }
    // The advance of a space, in units.
    int spaceAdvance() const { return m_spaceAdvance; }

    // Space around a mark's label, inside and outside its frame, in pixels.
    static constexpr qreal markPadding = 2;
    static constexpr qreal markGap = 1;

protected:
    int measureAdvance(char16_t c, Drawn *drawn) const override;
    int measurePair(char16_t high, char16_t low) const override;

private:
    WireMetrics(const QFont &font, int spaceAdvance);

    QFont m_font;
    QFont m_markFont;
    int m_rowHeight = 1;
    qreal m_baseline = 0;
    int m_spaceAdvance = 1;
};
