#pragma once

#include <QByteArray>
#include <QPoint>
#include <QtGlobal>

#include <vector>

// Linux cursors: the Xcursor file that X11's and Wayland's cursor themes
// hold, one per pointer shape. A file header ("Xcur"), a table of contents
// with an entry for each image (its type, its nominal size, where it
// begins), then each image: a 36-byte header (its size, type, nominal size,
// version, width, height, hot spot and delay in milliseconds) and its
// pixels. Everything little-endian.

// One image: `nominalSize` is the pointer size it is for (24, 32, 48 ...),
// the size a desktop asks for; the pixels are 0xAARRGGBB premultiplied by
// their alpha, rows top-down; the hot spot counts from the top-left corner;
// `delay` is how long an animation's frame shows, 0 for a still cursor.
struct XcursorImage
{
    int nominalSize = 0;
    int width = 0;
    int height = 0;
    QPoint hotSpot;
    quint32 delay = 0;
    std::vector<quint32> pixels;
};

// The Xcursor file holding `images` in the order given.
QByteArray encodeXcursor(const std::vector<XcursorImage> &images);
