#pragma once

#include "reducedpicture.h"

#include <QImageIOHandler>
#include <QIODevice>
#include <QSize>

#include <optional>

// The formats' readers of big pictures straight into a reduced image
// (reducedpicture.h). Each takes only its own format, and gives a null
// image for anything it leaves to the whole decode; the device is left
// where it was.

// An uncompressed 24- or 32-bit bitmap.
ReducedPicture readReducedBmp(QIODevice &device, QSize drawSize);
// The first frame of a GIF whose first image covers its whole screen.
ReducedPicture readReducedGif(QIODevice &device, QSize drawSize);
// A PNG whose whole decode would take more than `wholeDecodeLimit` bytes
// (by default, more than a conversion's memory allows: picturelimits.h),
// interlaced or not, of any kind of pixel: its transparency is kept,
// premultiplied.
ReducedPicture readReducedPng(QIODevice &device, QSize drawSize, qint64 wholeDecodeLimit = streamedDecodeBytes);
// The same for a binary PBM, PGM or PPM (P4, P5, P6), of one or two bytes
// a sample.
ReducedPicture readReducedPnm(QIODevice &device, QSize drawSize, qint64 wholeDecodeLimit = streamedDecodeBytes);
// The JPEG scale n/8 (1, 2 or 4 eighths) that keeps at least eight pixels
// for each pixel of a `drawSize` drawing, or 0 when only the whole picture
// does.
int jpegScaleEighths(QSize stored, QSize drawSize);
// What a JPEG's header says: its size as stored, and how its Exif data says
// to turn it, read as Qt's reader reads them (but without the image
// plugins Qt loads to tell a kind of picture). An invalid size when the
// header cannot be read. The device is left where it was.
struct JpegHeader
{
    QSize stored;
    QImageIOHandler::Transformations orientation = QImageIOHandler::TransformationNone;
};
JpegHeader readJpegHeader(QIODevice &device);
// A sequential (not progressive) JPEG in colour or grey, decoded at the
// smallest scale of 1/8, 2/8 or 4/8 that keeps eight pixels for each pixel
// of the drawing, and turned as `orientation` says.
ReducedPicture readReducedJpeg(QIODevice &device, QSize drawSize, QImageIOHandler::Transformations orientation);


// A reduced picture as a picture, or nothing when its reader left it to the
// whole decode.
inline std::optional<Picture> pictureOf(ReducedPicture reduced)
{
    if (reduced.image.isNull())
        return std::nullopt;
    return Picture(std::move(reduced.image), reduced.naturalSize, reduced.extent);
}
