#pragma once

#include <QByteArray>
#include <QPoint>
#include <QStringList>
#include <QtGlobal>

#include <optional>
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

// What an Xcursor file holds, and what is wrong with it.
struct XcursorContents
{
    // Its images in the order of its table of contents (comments and
    // chunks of other kinds left out), without their pixels, and where
    // each one's pixels begin.
    std::vector<XcursorImage> images;
    std::vector<qint64> pixelsAt;
    // Why the file is damaged: a table or an image that runs past the end,
    // an image of no pixels or larger than Xcursor allows (32,767 pixels a
    // side), a hot spot outside its image, images that share their bytes.
    // Empty when it is whole.
    QStringList damage;
};

// Whether `head`, a file's first bytes, opens an Xcursor file.
bool isXcursor(const QByteArray &head);

// What the Xcursor `file` holds; nothing when it is no Xcursor file. No
// more is read than the file holds.
std::optional<XcursorContents> readXcursor(const QByteArray &file);

// The pixels of image `index` of `contents`, read from `file`, as the
// file holds them (premultiplied).
std::vector<quint32> xcursorPixels(const QByteArray &file, const XcursorContents &contents, size_t index);

// The frames of an animated Xcursor: the images of one nominal size, in
// the file's order, are the frames of its animation at that size. Frame k
// is the k-th image of each size, by the images' indexes.
std::vector<std::vector<size_t>> xcursorFrames(const std::vector<XcursorImage> &images);
