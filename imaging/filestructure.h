#pragma once

#include <QIODevice>

// What a picture file's structure tells before any decoder sees it. The
// format is told from the first bytes (bitmap, JPEG, GIF, PNG, icon or
// cursor, WebP). The device must be random-access; it is left where it was.

// Whether the file ends before its data does: a download or copy cut short.
// Decoders differ in what they make of the missing part (some leave it as
// whatever memory held), so such a file is refused. The structure is walked
// as the decoders read it: a bitmap's headers, masks, palette and every
// pixel row (or its coded rows up to the end); a JPEG's segments and coded
// data up to its end marker; a GIF's blocks up to the end of its first
// image (the one shown); a PNG's chunks up to its end chunk; every image an
// icon lists, as its own header sizes it; a WebP's chunk as its header
// sizes it. A file of another kind, or damaged in another way, is not
// called cut short: its decoder judges it.
bool isCutShort(QIODevice &device);

// Whether a JPEG can only be decoded whole, even when a reduced size is
// asked for: a progressive one, or one whose first scan does not hold every
// colour component (the decoder then keeps every coefficient of the picture
// until the last scan). Markers are found as the decoder finds them, past
// stray bytes and fill bytes.
bool isJpegDecodedWhole(QIODevice &device);

// How a JPEG is decoded, as its frame header and scans say.
struct JpegLayout
{
    // Decoded whole, as above.
    bool decodedWhole = false;
    // What a decoder holds when it keeps every coefficient of the picture.
    qint64 coefficientBytes = 0;
    // The scans of a JPEG decoded whole, each of which its decoder goes
    // through over the whole picture (one scan of a file that is not):
    // counted up to one more than `scanLimit`.
    int scans = 0;
};
JpegLayout jpegLayout(QIODevice &device, int scanLimit);
