#include "SeparatorLine.h"

#include "Twips.h"

#include <QPainter>

void SeparatorLine::paint(QPainter &painter) const
{
    const int left = Twips::toPixels(x1);
    const int right = Twips::toPixels(x2);
    painter.fillRect(left, Twips::toPixels(y1), right - left, width, colour);
}
