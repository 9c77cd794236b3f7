#include "StatusColours.h"

#include <cmath>

namespace StatusColours {

namespace {

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &colour)
{
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

QColor blend(const QColor &from, const QColor &to, double share)
{
    const auto channel = [share](int a, int b) { return int(std::lround(a + (b - a) * share)); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}

} // namespace

double contrast(const QColor &a, const QColor &b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (qMax(first, second) + 0.05) / (qMin(first, second) + 0.05);
}

QColor standingOut(const QColor &colour, const QColor &base)
{
    // Away from the background: black reaches 3:1 against any background
    // lighter than a middle grey, white against any darker one.
    const QColor away = luminance(base) > 0.179 ? QColor(Qt::black) : QColor(Qt::white);
    for (int step = 0; step <= 64; ++step) {
        const QColor candidate = blend(colour, away, step / 64.0);
        if (contrast(candidate, base) >= minimumContrast)
            return candidate;
    }
    return away;
}

QColor tint(const QColor &base, const QColor &text)
{
    return standingOut(blend(base, text, 0.25), base);
}

QColor mark(const QColor &base, const QColor &text)
{
    return standingOut(text, base);
}

} // namespace StatusColours
