#pragma once

#include <QRect>

// The About dialog is laid out in twips, 1/1440 inch: 15 to a pixel at 96 dpi.
namespace Twips {

constexpr int PerPixel = 15;

// To the nearest pixel (5654 twips, the lines' right end, is 376.9 pixels).
constexpr int toPixels(int twips)
{
    return twips >= 0 ? (twips + PerPixel / 2) / PerPixel : -((-twips + PerPixel / 2) / PerPixel);
}

constexpr int fromPixels(int pixels)
{
    return pixels * PerPixel;
}

inline QRect toPixels(int left, int top, int width, int height)
{
    return {toPixels(left), toPixels(top), toPixels(width), toPixels(height)};
}

} // namespace Twips
