#include "RowPainter.h"

#include "RowLayout.h"
#include "TextRules.h"
#include "WireDocument.h"
#include "WireMetrics.h"

#include <QPainter>
#include <QtMath>

void RowPainter::paintRow(QPainter &painter, const WireDocument &text, const RowLayout &rows,
                          const WireMetrics &metrics, qsizetype row, const QPoint &origin,
                          const RowView::Colours &colours) const
{
    const qsizetype start = rows.rowStart(row);
    const qsizetype end = rows.rowEnd(row, text.size());
    const qsizetype selectedFrom = qMax(start, text.selectionStart());
    const qsizetype selectedTo = qMin(end, text.selectionEnd());
    const int height = metrics.rowHeight();
    const qreal baseline = origin.y() + metrics.baseline();
    constexpr int unitsPerPixel = WireMetrics::unitsPerPixel;
    painter.setFont(metrics.font());

    // Characters drawn in one run with their neighbours are gathered and
    // drawn together; everything else is drawn at its own place.
    QString run;
    qreal runX = 0;
    bool runSelected = false;
    const auto flush = [&] {
        if (run.isEmpty())
            return;
        painter.setPen(runSelected ? colours.highlightedText : colours.text);
        painter.drawText(QPointF(runX, baseline), run);
        run.clear();
    };
    // The program's own status lines are tinted, exactly their characters,
    // so that nothing a peer sends can look like one.
    const OriginSpans &origins = text.origins();
    const bool anyStatus = origins.holds(start, end, Origin::Status);
    qsizetype span = anyStatus ? origins.indexAt(start) : 0;
    const auto isStatus = [&](qsizetype at) {
        while (span + 1 < origins.spanCount() && origins.span(span + 1).from <= at)
            ++span;
        return origins.span(span).stamp.origin == Origin::Status;
    };
    int x = WireMetrics::toUnits(origin.x());
    rows.walk(text, start, end, [&](qsizetype at, int length, int advance) {
        const qreal left = qreal(x) / unitsPerPixel;
        x += advance;
        const bool selected = at >= selectedFrom && at < selectedTo;
        const char16_t c = text.at(at);
        const bool pairedBreak = length == 2 && c == u'\r';
        if (selected || (anyStatus && isStatus(at))) {
            // A plain break shows as a little space.
            const qreal width = pairedBreak ? qreal(metrics.advance(u' ')) / unitsPerPixel
                                            : qreal(advance) / unitsPerPixel;
            painter.fillRect(QRectF(left, origin.y(), width, height),
                             selected ? colours.highlight : colours.statusTint);
        }
        const WireMetrics::Drawn drawn =
            length == 2 || c == u'\t' ? WireMetrics::Drawn::Alone : metrics.drawn(c);
        if (drawn == WireMetrics::Drawn::InRun && !(run.size() && runSelected != selected)) {
            if (run.isEmpty()) {
                runX = left;
                runSelected = selected;
            }
            run += QChar(c);
            return;
        }
        flush();
        if (drawn == WireMetrics::Drawn::InRun) {
            runX = left;
            runSelected = selected;
            run += QChar(c);
        } else if (drawn == WireMetrics::Drawn::AsMark ||
                   (length == 1 && (c == u'\r' || c == u'\n'))) {
            drawMark(painter, metrics, left, origin.y(), c, colours.text, colours.base);
        } else if (c != u'\t' && !pairedBreak) {
            // Alone, and in the order it came: never reordered or joined.
            painter.setPen(selected ? colours.highlightedText : colours.text);
            painter.drawText(QPointF(left, baseline),
                             QChar(0x202D) + text.text(at, at + length) + QChar(0x202C));
        }
    });
    flush();
}

void RowPainter::drawMark(QPainter &painter, const WireMetrics &metrics, qreal x, qreal top,
                          char16_t c, const QColor &text, const QColor &base) const
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int width = qCeil(qreal(metrics.advance(c)) / WireMetrics::unitsPerPixel);
    const int height = metrics.rowHeight();
    if (text.rgba() != m_markText || base.rgba() != m_markBase || ratio != m_markRatio) {
        m_markImages.clear();
        m_markText = text.rgba();
        m_markBase = base.rgba();
        m_markRatio = ratio;
    }
    QPixmap &image = m_markImages[c];
    if (image.isNull()) {
        constexpr qreal gap = WireMetrics::markGap;
        image = QPixmap(QSize(width, height) * ratio);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter onImage(&image);
        onImage.setRenderHint(QPainter::Antialiasing);
        onImage.setFont(metrics.markFont());
        const TextRules::Mark mark = TextRules::markFor(c);
        const QRectF frame(gap, 1, width - 2 * gap, height - 2);
        if (mark.kind == TextRules::MarkKind::Name) {
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
