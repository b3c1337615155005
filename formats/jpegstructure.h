#pragma once

#include "structurewalk.h"

#include <QIODevice>

// How a JPEG is decoded, as its frame header and scans say.
struct JpegLayout
{
    // Whether it can only be decoded whole, even when a reduced size is
    // asked for: a progressive one, or one whose first scan does not hold
    // every colour component (the decoder then keeps every coefficient of
    // the picture until the last scan). Markers are found as the decoder
    // finds them, past stray bytes and fill bytes.
    bool decodedWhole = false;
    // What a decoder holds when it keeps every coefficient of the picture.
    qint64 coefficientBytes = 0;
    // The scans of a JPEG decoded whole, each of which its decoder goes
    // through over the whole picture (one scan of a file that is not):
    // counted up to one more than `scanLimit`.
    int scans = 0;
};

// A JPEG's structure, walked from where the device stands as its decoder
// reads it: whether the file ends before its end marker, and how it is
// decoded, its scans counted up to one more than `scanLimit`. The device
// is left where it was.
struct JpegStructure
{
    bool cutShort = false;
    JpegLayout layout;
};
JpegStructure walkJpegStructure(QIODevice &device, int scanLimit);
