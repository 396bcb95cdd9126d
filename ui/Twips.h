#pragma once

#include <QRect>
#include <QSize>

// Window layouts are drawn in twips: 15 twips to a pixel at 96 dots per inch.
namespace Twips {

constexpr int toPixels(int twips)
{
    return twips / 15;
}

inline QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

inline QSize size(int width, int height)
{
    return QSize(toPixels(width), toPixels(height));
}

} // namespace Twips
