#pragma once

#include "iconfile.h"
#include "picture.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRgb>

// The 32 x 32 square every output is made from, and the drawing that makes
// it. The window's picture boxes draw with the same code, so the window and
// the converter make the same square, pixel for pixel.

namespace Square {
constexpr int side = 32;
}

// Draws the whole of `picture`, scaled, into the rectangle x, y, width,
// height of `canvas` (in pixels, fractions allowed). The edges are rounded
// half away from zero, so no row or column is half covered; a negative width
// or height mirrors the picture; pixels outside stay as they were. A drawing
// is drawn from its shapes at that size.
void paintScaled(QImage &canvas, const Picture &picture, double x, double y, double width, double height);

// The picture fitted into the square, proportions kept and centred, over
// `background` in the bands it leaves. The proportions are those of the box
// the window loads the picture into: its size plus a 2-pixel border on each
// side, in twips; the longer side fills 32 pixels, a tie counts as wide.
// An opaque background gives an opaque square (32-bit RGB); a transparent
// one keeps the picture's own transparency, premultiplied.
QImage fitIntoSquare(const Picture &picture, QRgb background);

// Whether some pixel of the picture is less than wholly opaque: it has a
// transparency of its own.
bool hasTransparency(const Picture &picture);

// The picture fitted by the same rule into a square of `side` pixels whose
// bands are transparent, its own transparency kept: premultiplied 32-bit.
// A picture so thin that it would cover less than a pixel (1 x 1000 in a
// 16-pixel icon) is drawn one pixel thin instead of not at all.
QImage fitIntoClearSquare(const Picture &picture, int side);

// Which bands a square is made with: the window's (fitIntoSquare), or
// transparent ones (fitIntoClearSquare), where a picture is never less than
// one pixel thin.
enum class SquareBands { Window, Clear };

// Where `point` of a picture of `size` (in its pixels, from its top-left
// corner) lands in the square of `side` the picture is fitted into: the
// pixel of the fitted picture that covers it. A cursor's hot spot is moved
// so, from the picture it is given on to each size made of it.
QPoint pointInSquare(QSize size, QPointF point, int side, SquareBands bands);

// The pixels of an icon made of the square. An opaque square's pure black
// is the transparent key colour, every other pixel is opaque in its own
// colour. A square with transparency of its own keeps it: a pixel less than
// half opaque is transparent (stored black), every other one opaque in its
// own colour, black included.
IconPixels iconPixelsOf(const QImage &square);

// What a square can be saved as.
enum class SquareOutput { ColourIcon, Bitmap, BlackAndWhiteIcon };
QByteArray encodeSquare(const QImage &square, SquareOutput output);
