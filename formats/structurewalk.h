#pragma once

#include "devicereader.h"

#include <QIODevice>

// What a walk of a file's structure found, as its decoder would read it:
// the structure whole, cut short, or not what the walk understands (left
// to the decoder).
enum class Walk { Whole, CutShort, Unknown };

inline Walk cutShortUnless(bool whole)
{
    return whole ? Walk::Whole : Walk::CutShort;
}

// Whether `walk`, given a reader from where the device stands, finds the
// file cut short; the device is left where it was.
template<typename WalkFunction>
bool walksCutShort(QIODevice &device, WalkFunction walk)
{
    const qint64 start = device.pos();
    DeviceReader in(device, start);
    const Walk found = walk(in);
    device.seek(start);
    return found == Walk::CutShort;
}
