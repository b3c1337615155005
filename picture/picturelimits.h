#pragma once

#include <QSize>
#include <QString>
#include <QtGlobal>

// How large a picture Tervana reads, and how much of it at once.

// Pictures bigger than this (in pixels, width x height) are refused before
// any pixel memory is taken: a header may claim absurd dimensions. Up to
// this size a picture is only read when it can be read reduced (a JPEG
// photo, a plain bitmap, a PNG, most TIFFs) ...
constexpr qint64 maximumPicturePixels = 400'000'000;
// ... and up to this one when it has to be decoded whole (about 400 MB).
constexpr qint64 maximumFullDecodePixels = 100'000'000;
// A JPEG decoded whole goes through the whole picture once for each of its
// scans; usual ones have about ten (libjpeg's progressive files ten, the
// most careful encoders a few more), and a file of thousands of scans that
// each say almost nothing keeps a decoder busy for minutes. Up to this many
// a 100-megapixel picture still takes a couple of seconds.
constexpr int maximumJpegScans = 256;

// A PNG or TIFF whose whole decode would take more memory than this is read
// a few rows (or tiles) at a time into block averages when it is only to be
// drawn small: with the program's own 20 MB, a bigger decode would pass the
// 64 MB a conversion keeps within. Smaller ones are decoded whole, as they
// always were.
constexpr qint64 streamedDecodeBytes = 32 * 1024 * 1024;
// Decodes of more than this many pixels wait for one another, however many
// pictures are read side by side, so that memory stays bounded.
constexpr qint64 bigDecodePixels = 16'000'000;

constexpr qint64 pixelsOf(QSize size)
{
    return size.isValid() ? qint64(size.width()) * size.height() : 0;
}

constexpr bool isTooLarge(QSize size, qint64 limit = maximumPicturePixels)
{
    return pixelsOf(size) > limit;
}

// The failure of a picture of `size` pixels, more than `limit`: the words
// name the limit, maximumPicturePixels or, for a picture that is decoded
// whole, maximumFullDecodePixels.
struct Failure;
Failure tooLargeFailure(QSize size, qint64 limit = maximumPicturePixels);
// The failure of a picture with a side longer than `longestSide`, the most
// its decoder takes.
Failure tooLongFailure(QSize size, int longestSide);
// A limit of pixels as its words say it: "8 million", or the number itself
// below a million.
QString pixelCountInWords(qint64 pixels);
