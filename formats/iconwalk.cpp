// The walk of an icon's or a cursor's structure: every image its directory
// lists, a PNG stream or a bitmap without a file header.

#include "iconwalk.h"

#include "icondirectory.h"
#include "iconrecords.h"
#include "pngchunks.h"

#include <unordered_set>

Walk walkPng(DeviceReader &in, qint64 end)
{
    switch (walkPngChunks(in, end)) {
    case PngChunks::Whole: return Walk::Whole;
    case PngChunks::CutShort: return Walk::CutShort;
    case PngChunks::Unknown: break; // its decoder is given no more than `end`
    }
    return Walk::Unknown;
}

namespace {

// One image of an icon, a PNG stream or a bitmap without a file header: the
// directory gives its length, and its own header sizes the colour rows and,
// below 32 bits, the mask rows after them.
Walk walkIconImage(DeviceReader &in, QIODevice &device, const IconEntryRecord &entry)
{
    const qint64 offset = entry.dwImageOffset;
    in.moveTo(offset);
    device.seek(in.absolute(offset));
    const QByteArray head = device.peek(BitmapInfoHeader::size);
    if (hasPngSignature(head))
        return walkPng(in, offset + qint64(entry.dwBytesInRes));
    if (head.size() < BitmapInfoHeader::size)
        return Walk::CutShort;
    const BitmapInfoHeader info = bitmapInfoHeaderAt(head, 0);
    const qint64 width = entry.bWidth ? entry.bWidth : qAbs(qint64(info.biWidth));
    const qint64 height = entry.bHeight ? entry.bHeight : qAbs(qint64(info.biHeight)) / 2;
    if (info.biSize < 40 || info.biSize > 1024 || width > 256 || height > 256)
        return Walk::Unknown;
    return cutShortUnless(in.reaches(offset + info.biSize + iconBitmapLayout(info, width, height).bytes()));
}

} // namespace

// Every image the directory lists. Entries that name the same bytes name one
// image, walked once; and no more bytes are walked in all than the file
// holds, since images can only need more by sharing bytes, which their
// decoders judge. So a directory of 65,535 entries costs one walk of the file.
Walk walkIcon(DeviceReader &in, QIODevice &device)
{
    const std::optional<IconDirectory> directory = readIconDirectory(device);
    if (!directory || !directory->headerWhole)
        return Walk::CutShort;
    if (directory->claimed == 0)
        return Walk::Unknown;
    if (!directory->whole())
        return Walk::CutShort;
    std::unordered_set<quint64> walked;
    qint64 walkedBytes = 0;
    Walk found = Walk::Whole;
    for (const IconEntryRecord &entry : directory->entries) {
        if (!walked.insert(imageBytesKey(entry)).second)
            continue;
        const qint64 end = qint64(entry.dwImageOffset) + entry.dwBytesInRes;
        if (!in.reaches(end))
            return Walk::CutShort;
        walkedBytes += entry.dwBytesInRes;
        const Walk image = in.reaches(walkedBytes) ? walkIconImage(in, device, entry) : Walk::Unknown;
        if (image == Walk::CutShort)
            return Walk::CutShort;
        if (image == Walk::Unknown)
            found = Walk::Unknown;
    }
    return found;
}
