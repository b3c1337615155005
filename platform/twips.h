#pragma once

#include <QRect>
#include <QWidget>

// Control positions and sizes are given in twips: 1440 to the inch, 15 to a
// pixel at 96 dots per inch.
constexpr int twipsPerPixel = 15;

constexpr int pixelsFromTwips(int twips) { return twips / twipsPerPixel; }
constexpr int twipsFromPixels(int pixels) { return pixels * twipsPerPixel; }

// Places `widget` at Left, Top, Width, Height given in twips, relative to the
// top-left corner of its container.
inline void placeInTwips(QWidget *widget, int left, int top, int width, int height)
{
    widget->setGeometry(pixelsFromTwips(left), pixelsFromTwips(top), pixelsFromTwips(width),
                        pixelsFromTwips(height));
}
