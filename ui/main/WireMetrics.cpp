#include "WireMetrics.h"

#include "WireText.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPalette>
#include <QtMath>

namespace {

// Space around a mark's label, inside and outside its frame, in pixels.
constexpr qreal markPadding = 2;
constexpr qreal markGap = 1;

// The font a mark's label is written in: the box's own, a little smaller so
// that three letters take about two cells.
QFont markFontFor(const QFont &font)
{
    QFont markFont = font;
    const qreal pixels = QFontInfo(font).pixelSize();
    markFont.setPixelSize(qMax(7, qRound(pixels * 0.82)));
    markFont.setBold(true);
    return markFont;
}

} // namespace

WireMetrics::WireMetrics(const QFont &font)
    : m_font(font), m_markFont(markFontFor(font)), m_entries(0x10000, 0)
{
    const QFontMetricsF metrics(m_font);
    m_rowHeight = qMax(1, qCeil(metrics.height()));
    m_baseline = (m_rowHeight - metrics.height()) / 2 + metrics.ascent();
    m_cell = qMax(1, toUnits(metrics.horizontalAdvance(QLatin1Char(' '))));
    m_tabStop = 8 * m_cell;
}

quint32 WireMetrics::measure(char16_t c) const
{
    int advance = 0;
    Drawn drawn = Drawn::Alone;
    const WireText::Mark mark = WireText::markFor(c);
    if (mark.kind != WireText::MarkKind::None) {
        drawn = Drawn::AsMark;
        const QFontMetricsF markMetrics(m_markFont);
        advance = toUnits(qCeil(markMetrics.horizontalAdvance(mark.label)) + 2 * markPadding +
                          2 * markGap);
    } else {
        const QFontMetricsF metrics(m_font);
        advance = toUnits(metrics.horizontalAdvance(QChar(c)));
        // Right-to-left scripts and combining marks are drawn one by one, so
        // that each stands where its advance puts it, in the order it came.
        const QChar::Direction direction = QChar::direction(char32_t(c));
        if (advance == m_cell && metrics.inFont(QChar(c)) && direction != QChar::DirR &&
            direction != QChar::DirAL && !QChar::isMark(char32_t(c)))
            drawn = Drawn::InRun;
    }
    quint32 flags = Measured;
    if (c == u'\r' || c == u'\n' || c == u'\t' || QChar::isHighSurrogate(c))
        flags |= Special;
    if (WireText::isBreakAfter(c))
        flags |= BreakAfter;
    m_entries[c] = (quint32(advance) << AdvanceShift) | (quint32(drawn) << DrawnShift) | flags;
    return m_entries[c];
}

int WireMetrics::pairAdvance(char16_t high, char16_t low) const
{
    const char32_t codePoint = QChar::surrogateToUcs4(high, low);
    auto known = m_pairs.constFind(codePoint);
    if (known == m_pairs.constEnd()) {
        const QChar pair[2] = {QChar(high), QChar(low)};
        known = m_pairs.insert(codePoint,
                               toUnits(QFontMetricsF(m_font).horizontalAdvance(QString(pair, 2))));
    }
    return *known;
}

void WireMetrics::drawMark(QPainter &painter, qreal x, qreal top, char16_t c, const QColor &text,
                           const QColor &base) const
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int width = qCeil(qreal(advance(c)) / unitsPerPixel);
    if (text.rgba() != m_markText || base.rgba() != m_markBase || ratio != m_markRatio) {
        m_markImages.clear();
        m_markText = text.rgba();
        m_markBase = base.rgba();
        m_markRatio = ratio;
    }
    QPixmap &image = m_markImages[c];
    if (image.isNull()) {
        image = QPixmap(QSize(width, m_rowHeight) * ratio);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter onImage(&image);
        onImage.setRenderHint(QPainter::Antialiasing);
        onImage.setFont(m_markFont);
        const WireText::Mark mark = WireText::markFor(c);
        const QRectF frame(markGap, 1, width - 2 * markGap, m_rowHeight - 2);
        if (mark.kind == WireText::MarkKind::Name) {
            // A control character: inverted, so it can't be mistaken for text.
            onImage.setPen(Qt::NoPen);
            onImage.setBrush(text);
            onImage.drawRoundedRect(frame, 2, 2);
            onImage.setPen(base);
        } else {
            // Anything else that would draw as nothing: framed, in the text colour.
            onImage.setPen(QPen(text, 1));
            onImage.drawRoundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        }
        onImage.drawText(frame, Qt::AlignCenter, mark.label);
    }
    painter.drawPixmap(QPointF(x, top), image);
}
