#pragma once

#include <QByteArray>
#include <QPoint>
#include <QtGlobal>

#include <vector>

// An icon file of several sizes, as today's desktops use: each image at 32
// bits per pixel with an alpha channel, plus the AND mask older readers use.

// One image of the set: a square of `side` pixels (1 to 256), given either
// as pixels or as the bytes of a PNG file, which the format allows in place
// of a bitmap (for the 256 entry, where a bitmap would take 256 KB).
struct IconImage
{
    int side = 0;
    // Rows top-down, pixels left to right, each 0xAARRGGBB with alpha not
    // premultiplied. Empty when `png` is given.
    std::vector<quint32> pixels;
    QByteArray png;
};

// The icon file holding `images` in the order given: the directory (one
// 16-byte entry each: width and height, with 0 standing for 256, no palette,
// one plane, 32 bits, the image's size and offset), then each image. A
// bitmap image is a 40-byte BITMAPINFOHEADER (height doubled, for the mask),
// the colour rows bottom-up as blue, green, red, alpha, then the AND mask
// rows bottom-up, one bit a pixel, set where the pixel is fully transparent,
// each row padded to four bytes.
QByteArray encodeIconSet(const std::vector<IconImage> &images);

// The cursor file made of `icon`, an icon file written here: the same
// images, the directory's type 2 (a cursor), and in each entry, where an
// icon's holds its planes and bits per pixel, the hot spot of that entry's
// image (`hotSpots`, one an entry in order, in the image's pixels, from its
// top-left corner). Empty when `icon` is no icon of that many entries.
QByteArray cursorFromIcon(const QByteArray &icon, const std::vector<QPoint> &hotSpots);
