#pragma once

#include "reducedreaders.h"

#include <QIODevice>
#include <QImage>
#include <QSize>

#include <algorithm>
#include <iterator>
#include <optional>

// TIFF pictures, their first page, read through libtiff a strip or a tile
// at a time: the ones too big to decode whole, and those whose samples Qt's
// reader does not take (10, 12, 24 or 32 bits, floating point). Integer
// samples span 0 to their largest value, floating-point ones 0 to 1.
// libtiff prints nothing, and the device is left where it was.

// Whether the file's first four bytes open a TIFF: classic or BigTIFF,
// little- or big-endian.
inline bool looksLikeTiff(const QByteArray &head)
{
    static const QByteArray starts[] = {QByteArray("II*\0", 4), QByteArray("MM\0*", 4), QByteArray("II+\0", 4),
                                        QByteArray("MM\0+", 4)};
    return std::any_of(std::begin(starts), std::end(starts), [&head](const QByteArray &s) { return head == s; });
}

// The size of the first page as it is shown (turned as its orientation tag
// says), or nothing for a file libtiff does not open.
std::optional<QSize> tiffClaimedSize(QIODevice &device);

// A TIFF whose whole decode would take more than `wholeDecodeLimit` bytes
// (by default, more than a conversion's memory allows: picturelimits.h),
// reduced for a drawing of `drawSize` (reducedpicture.h) and turned as its
// orientation tag says; null when it is left to Qt's reader (one stored in
// strips or tiles of more than 16 MB of pixels each, among others).
ReducedPicture readReducedTiff(QIODevice &device, QSize drawSize, qint64 wholeDecodeLimit = streamedDecodeBytes);

// The first page whole, premultiplied and turned; null when libtiff cannot
// read it either.
QImage readWholeTiff(QIODevice &device);
