#pragma once

#include "failure.h"
#include "pictureformat.h"

#include <QIODevice>
#include <QSize>

#include <optional>

// What a picture file's header and structure tell before any decoder sees
// it, its format recognised from its first bytes (formats.h). The device is
// left where it was.

// The size the header claims; invalid for a format without one.
QSize headerClaimedSize(QIODevice &device);

// Whether the file ends before its data does (pictureformat.h).
bool isCutShort(QIODevice &device);

// Why a picture is refused before it is decoded: `claimed` is more pixels
// than Tervana reads, or a side longer than the format's decoder takes (a
// PNG of 20,000,000 x 2 pixels: the user should hear that it is too large,
// not that it cannot be read), or the file is cut short.
std::optional<Failure> refusalBeforeDecoding(FormatReader &reader, QIODevice &device, QSize claimed);
