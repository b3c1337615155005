#pragma once

#include <QIcon>
#include <QImage>

class QPainter;

// Tervana's own artwork, drawn in code so the repository holds no binary
// images: the window icon (64 x 64, 256 colours), the three button pictures
// (32 x 32) and the logo of the credits panel (45 x 64).
namespace Artwork {
// The window icon's drawing, in full colour, into the square (0, 0, side,
// side) of `p`: the installed application icons (any size, and SVG) are
// drawn by it, as the window icon is.
void drawWindowIcon(QPainter &p, qreal side);
QImage windowIcon();
QImage openPicture();
QImage savePicture();
QImage exitPicture();
QImage logo();
}
