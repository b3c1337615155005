#pragma once

#include "failure.h"
#include "picture.h"
#include "xcursor.h"

#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QString>

#include <optional>
#include <vector>

// Icons of several sizes made from pictures, with real transparency.
namespace IconSizes {
// What "all" stands for: the sizes today's desktops show.
const std::vector<int> &all();
// What "windows" stands for: the sizes the Windows shell asks an icon for
// at 100 % to 200 % display scaling.
const std::vector<int> &windows();
// What "favicon" stands for: a web site's icon.
const std::vector<int> &favicon();
// The sizes a cursor has unless --sizes says otherwise: those Windows
// draws pointers at, for its pointer sizes and display scaling.
const std::vector<int> &cursor();
// The same for a Linux cursor: the pointer sizes desktops offer (24 the
// usual one), and their doubles for display scaling.
const std::vector<int> &xcursor();
// A macOS icon family's: 16 to 1024, largest first.
const std::vector<int> &icns();
// The folders of fixed size of a program's icon in the hicolor icon theme,
// smallest first.
const std::vector<int> &iconTheme();
constexpr int smallest = 1;
constexpr int largest = 256;
}

// The sizes a list such as "16,32,256", or "all", "windows" or "favicon",
// names, largest first; or why the list names none: a size that is no whole
// number from 1 to 256, or one given twice.
struct IconSizeList
{
    std::vector<int> sizes;
    std::optional<Failure> failure;
};
IconSizeList parseIconSizes(const QString &list);

// Which picture one size of an icon is made from, and whether that picture
// is used as it is, pixel for pixel: it is exactly that size, square.
struct SizeSource
{
    int side = 0;
    size_t picture = 0;
    bool asItIs = false;
    bool enlarged = false; // the picture, no drawing, is smaller than the size
};

// The picture each of `sizes` is made from. A picture exactly that size
// square is used as it is; otherwise a drawing is drawn at that size;
// otherwise the smallest picture at least that large is shrunk. With one
// picture (which `enlarge` allows), it is also enlarged where it must be.
// No sources, and the failure saying why, when the pictures cannot make the
// sizes: two are one size, or without `enlarge` none is large enough for a
// size.
struct IconSizePlan
{
    std::vector<SizeSource> sources;
    std::optional<Failure> failure;
};
IconSizePlan planIconSizes(const std::vector<Picture> &pictures, const std::vector<int> &sizes, bool enlarge);

// One icon file holding an image of each of `sizes` (largest first): the
// picture fitted in as into the 32 x 32 square, its bands transparent and
// its own transparency kept, at 32 bits with alpha; with `keyBlack`, pure
// black pixels are transparent too, as in the window's icons. The 256 image
// is stored as PNG, the others as bitmaps.
QByteArray encodeIconSizes(const Picture &picture, const std::vector<int> &sizes, bool keyBlack);

// The same from several pictures, each size from its source in `plan`.
QByteArray encodeIconSizes(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan, bool keyBlack);

// The image of each size of `plan` as the icon of the same sizes holds it,
// straight alpha (ARGB32), whatever the size: for the formats of other
// platforms, whose images go up to 1024 pixels.
std::vector<QImage> squareImagesOf(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan, bool keyBlack);
// The same images as PNG files, at zlib's usual level.
std::vector<QByteArray> squarePngsOf(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan, bool keyBlack);

// A Linux cursor (Xcursor) of the same images, each of nominal size its
// side, premultiplied, pointing at `hotSpots` (one a size; cursorHotSpots).
QByteArray encodeXcursorSizes(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan, bool keyBlack,
                              const std::vector<QPoint> &hotSpots);
// Its images, each shown for `delay` milliseconds (a frame of an animation;
// 0 for a still cursor).
std::vector<XcursorImage> xcursorImagesOf(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan,
                                          bool keyBlack, const std::vector<QPoint> &hotSpots, quint32 delay);

// The hot spot of each size of a cursor made as `plan` says, where the
// image of that size points: `given`, in the first picture's pixels, at the
// same place of each size's picture; or, without it, a cursor image's own
// hot spot, else the first picture's, else its top-left corner; each moved
// as its picture is fitted into the size.
std::vector<QPoint> cursorHotSpots(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan,
                                   std::optional<QPointF> given);
