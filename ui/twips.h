#pragma once

#include <QRect>

// Layouts are given in twips; 15 twips are one pixel at 96 dots per inch, and
// Qt's high-DPI scaling takes the pixels to larger screens.
constexpr int twips(int value) { return value / 15; }

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}
