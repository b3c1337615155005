#pragma once

#include "failure.h"
#include "picturelimits.h"

#include <QIODevice>
#include <QSize>

#include <optional>

// What a picture file's first bytes tell before any decoder sees it. The
// device is left where it was.

// The size a bitmap's, a GIF's, a PNG's, a TIFF's, a PBM/PGM/PPM's or a
// TGA's header claims, read straight from its first bytes (a TIFF's from its
// first page's tags); invalid for other kinds. Qt's readers give no size at all
// for a header they find too large, and the user should hear that the
// picture is too large, not that it is unreadable.
QSize headerClaimedSize(QIODevice &device);

// Why a picture is refused before it is decoded: its header claims more
// pixels than Tervana reads, or a side longer than its reader takes (a PNG
// of 20,000,000 x 2 pixels: the user should hear that it is too large, not
// that it cannot be read), or the file is cut short.
std::optional<Failure> refusalBeforeDecoding(QIODevice &device, QSize claimed);

// The failure of a picture of `size` pixels, more than `limit`: the words
// name the limit, maximumPicturePixels or, for a picture that is decoded
// whole, maximumFullDecodePixels.
Failure tooLargeFailure(QSize size, qint64 limit = maximumPicturePixels);
