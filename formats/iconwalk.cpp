// The walk of an icon's or a cursor's structure: every image its directory
// lists, a PNG stream or a bitmap without a file header.

#include "iconwalk.h"

#include "iconrecords.h"

#include <unordered_set>

// Chunks (length, type, data, check) up to the end chunk, which must come
// by `end` (an icon's image ends where its entry says).
Walk walkPng(DeviceReader &in, qint64 end)
{
    in.skip(8); // the signature
    for (;;) {
        const std::optional<quint32> length = in.number(4, true);
        const std::optional<quint32> type = in.number(4, true);
        if (!length || !type)
            return Walk::CutShort;
        if (*length > 0x7FFFFFFFu)
            return Walk::Unknown;
        if (!in.skip(qint64(*length) + 4))
            return Walk::CutShort;
        if (in.offset() > end)
            return Walk::Unknown; // its decoder is given no more than that
        if (*type == 0x49454E44u) // "IEND"
            return Walk::Whole;
    }
}

// One image of an icon, a PNG stream or a bitmap without a file header: the
// directory gives its length, and its own header sizes the colour rows and,
// below 32 bits, the mask rows after them.
namespace {

Walk walkIconImage(DeviceReader &in, QIODevice &device, const IconEntryRecord &entry)
{
    const qint64 offset = entry.dwImageOffset;
    in.moveTo(offset);
    device.seek(in.absolute(offset));
    const QByteArray head = device.peek(BitmapInfoHeader::size);
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
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
Walk walkIcon(DeviceReader &in, QIODevice &device, const QByteArray &head)
{
    if (head.size() < IconDirRecord::size)
        return Walk::CutShort;
    const int count = iconDirAt(head).idCount;
    if (count == 0)
        return Walk::Unknown;
    const QByteArray directory = device.peek(iconEntryOffset(count));
    if (directory.size() < iconEntryOffset(count))
        return Walk::CutShort;
    std::unordered_set<quint64> walked;
    qint64 walkedBytes = 0;
    Walk found = Walk::Whole;
    for (int i = 0; i < count; ++i) {
        const IconEntryRecord entry = iconEntryAt(directory, iconEntryOffset(i));
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
