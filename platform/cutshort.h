#pragma once

#include <QIODevice>

// Whether a picture file ends before its data does: a download or copy cut
// short. Decoders differ in what they make of the missing part (some leave
// it as whatever memory held), so such a file is refused before any decoder
// sees it. The format is told from the first bytes (bitmap, JPEG, GIF, PNG,
// icon or cursor); the whole structure is walked: every pixel row of a
// bitmap, every segment of a JPEG up to its end marker, every block of a GIF
// up to its trailer, every chunk of a PNG up to its end chunk, every image
// an icon's directory lists. A file of another kind, or damaged in another
// way, is not called cut short: its decoder judges it. The device must be
// random-access; it is left where it was.
bool isCutShort(QIODevice &device);
