#pragma once

#include "failure.h"

#include <QIODevice>
#include <QSize>

#include <optional>

// What a picture file's first bytes tell before any decoder sees it. The
// device is left where it was.

// The size a bitmap's, a GIF's, a PBM/PGM/PPM's or a TGA's header claims, read straight from its
// first bytes; invalid for other kinds. Qt's readers give no size at all
// for a header they find too large, and the user should hear that the
// picture is too large, not that it is unreadable.
QSize headerClaimedSize(QIODevice &device);

// Why a picture is refused before it is decoded: its header claims more
// pixels than Tervana reads, or the file is cut short.
std::optional<Failure> refusalBeforeDecoding(QIODevice &device, QSize claimed);

// The failure of a picture of `size` pixels, too large to read.
Failure tooLargeFailure(QSize size);
