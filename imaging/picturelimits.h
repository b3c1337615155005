#pragma once

#include <QSize>
#include <QtGlobal>

// How large a picture Tervana reads, and how much of it at once.

// Pictures bigger than this (in pixels, width x height) are refused before
// any pixel memory is taken: a header may claim absurd dimensions. Up to
// this size a picture is only read when it can be read reduced (a JPEG
// photo, a plain bitmap) ...
constexpr qint64 maximumPicturePixels = 400'000'000;
// ... and up to this one when it has to be decoded whole (about 400 MB).
constexpr qint64 maximumFullDecodePixels = 100'000'000;
// A JPEG decoded whole goes through the whole picture once for each of its
// scans; usual ones have about ten (libjpeg's progressive files ten, the
// most careful encoders a few more), and a file of thousands of scans that
// each say almost nothing keeps a decoder busy for minutes. Up to this many
// a 100-megapixel picture still takes a couple of seconds.
constexpr int maximumJpegScans = 256;
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
