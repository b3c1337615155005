#pragma once

#include <QImageIOHandler>
#include <QRect>
#include <QRgb>
#include <QSize>

#include <functional>

#include <tiffio.h>

// What the TIFF reader (tiffformat.cpp) and its reading of strips and tiles
// (tiffregions.cpp) share.

// A strip or tile is read whole: one of more than this in 32-bit pixels is
// left to Qt's reader, and neither libtiff nor the reading here allocates
// more than twice as much at once for its samples.
constexpr qint64 regionBytes = 8 << 20;
constexpr tmsize_t largestAllocation = 2 * regionBytes;

// What the first page's tags say about its pixels.
struct TiffPage
{
    QSize size; // as stored
    int bits = 0;
    int samples = 0;
    int photometric = -1;
    int sampleFormat = SAMPLEFORMAT_UINT;
    int alpha = EXTRASAMPLE_UNSPECIFIED;
    bool separatePlanes = false;
    int orientation = ORIENTATION_TOPLEFT;
    QSize region; // a strip's or a tile's pixels

    bool greyOrIndexed() const
    {
        return samples == 1
               && (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE
                   || photometric == PHOTOMETRIC_PALETTE);
    }
    // The orientation tag counts as the EXIF one does.
    QImageIOHandler::Transformations turn() const
    {
        static const QImageIOHandler::Transformations turns[] = {
            QImageIOHandler::TransformationNone,         QImageIOHandler::TransformationMirror,
            QImageIOHandler::TransformationRotate180,    QImageIOHandler::TransformationFlip,
            QImageIOHandler::TransformationFlipAndRotate90, QImageIOHandler::TransformationRotate90,
            QImageIOHandler::TransformationMirrorAndRotate90, QImageIOHandler::TransformationRotate270};
        return turns[orientation - 1];
    }
    QSize shownSize() const { return turn() & QImageIOHandler::TransformationRotate90 ? size.transposed() : size; }
};

// Hands each region (strip or tile) of the page, in stored order, as
// premultiplied pixels a row after another.
using RegionSink = std::function<void(QRect region, const QRgb *pixels)>;

// Reads the page's regions in stored order, through libtiff's conversion
// to RGBA where it takes them, else from their raw samples; false when one
// cannot be read.
bool readRegions(TIFF *tiff, const TiffPage &page, const RegionSink &sink);
