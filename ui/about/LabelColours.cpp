#include "LabelColours.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

namespace LabelColours {

namespace {

constexpr double ReadableContrast = 4.5;

double relativeLuminance(const QColor &colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool isDark(const QColor &window)
{
    return window.lightness() < 128;
}

QColor textColour(const QPalette &palette)
{
    return isDark(palette.color(QPalette::Window)) ? palette.color(QPalette::WindowText)
                                                   : QColor(Qt::black);
}

QColor linkColour(const QPalette &palette)
{
    const QColor window = palette.color(QPalette::Window);
    if (!isDark(window))
        return QColor(0, 0, 255);
    const QColor link = palette.color(QPalette::Link);
    if (contrastRatio(link, window) >= ReadableContrast)
        return link;
    for (int lightness = link.lightness() + 1; lightness <= 255; ++lightness) {
        const QColor candidate = QColor::fromHsl(link.hslHue(), link.hslSaturation(), lightness);
        if (contrastRatio(candidate, window) >= ReadableContrast)
            return candidate;
    }
    return textColour(palette);
}

} // namespace LabelColours
