#include "WireMetrics.h"

#include "TextRules.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QtMath>

namespace {

// The font a mark's label is written in: the box's own, a little smaller so
// that three letters take about two spaces.
QFont markFontFor(const QFont &font)
{
    QFont markFont = font;
    const qreal pixels = QFontInfo(font).pixelSize();
    markFont.setPixelSize(qMax(7, qRound(pixels * 0.82)));
    markFont.setBold(true);
    return markFont;
}

int spaceAdvanceOf(const QFont &font)
{
    return qMax(1,
                CharacterMetrics::toUnits(QFontMetricsF(font).horizontalAdvance(QLatin1Char(' '))));
}

} // namespace

WireMetrics::WireMetrics(const QFont &font) : WireMetrics(font, spaceAdvanceOf(font))
{
}

WireMetrics::WireMetrics(const QFont &font, int spaceAdvance)
    : CharacterMetrics(8 * spaceAdvance), m_font(font), m_markFont(markFontFor(font)),
      m_spaceAdvance(spaceAdvance)
{
    const QFontMetricsF metrics(m_font);
    m_rowHeight = qMax(1, qCeil(metrics.height()));
    m_baseline = (m_rowHeight - metrics.height()) / 2 + metrics.ascent();
}

int WireMetrics::measureAdvance(char16_t c, Drawn *drawn) const
{
    const TextRules::Mark mark = TextRules::markFor(c);
    if (mark.kind != TextRules::MarkKind::None) {
        *drawn = Drawn::AsMark;
        const QFontMetricsF markMetrics(m_markFont);
        return toUnits(qCeil(markMetrics.horizontalAdvance(mark.label)) + 2 * markPadding +
                       2 * markGap);
    }
    const QFontMetricsF metrics(m_font);
    const int advance = toUnits(metrics.horizontalAdvance(QChar(c)));
    // Right-to-left scripts and combining marks are drawn one by one, so
    // that each stands where its advance puts it, in the order it came.
    const QChar::Direction direction = QChar::direction(char32_t(c));
    *drawn = advance == m_spaceAdvance && metrics.inFont(QChar(c)) && direction != QChar::DirR &&
                     direction != QChar::DirAL && !QChar::isMark(char32_t(c))
                 ? Drawn::InRun
                 : Drawn::Alone;
    return advance;
}

int WireMetrics::measurePair(char16_t high, char16_t low) const
{
    const QChar pair[2] = {QChar(high), QChar(low)};
    return toUnits(QFontMetricsF(m_font).horizontalAdvance(QString(pair, 2)));
}
