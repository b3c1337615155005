// An icon file's records, read and written field by field, its directory
// read once, and its images' structure walked.

#include "icondirectory.h"

#include "devicereader.h"
#include "pngchunks.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

LittleEndianWriter &operator<<(LittleEndianWriter &out, const IconDirRecord &r)
{
    return out << r.idReserved << r.idType << r.idCount;
}

LittleEndianReader &operator>>(LittleEndianReader &in, IconDirRecord &r)
{
    return in >> r.idReserved >> r.idType >> r.idCount;
}

LittleEndianWriter &operator<<(LittleEndianWriter &out, const IconEntryRecord &r)
{
    return out << r.bWidth << r.bHeight << r.bColorCount << r.bReserved << r.wPlanes << r.wBitCount << r.dwBytesInRes
               << r.dwImageOffset;
}

LittleEndianReader &operator>>(LittleEndianReader &in, IconEntryRecord &r)
{
    return in >> r.bWidth >> r.bHeight >> r.bColorCount >> r.bReserved >> r.wPlanes >> r.wBitCount >> r.dwBytesInRes
           >> r.dwImageOffset;
}

LittleEndianWriter &operator<<(LittleEndianWriter &out, const BitmapInfoHeader &r)
{
    return out << r.biSize << r.biWidth << r.biHeight << r.biPlanes << r.biBitCount << r.biCompression << r.biSizeImage
               << r.biXPelsPerMeter << r.biYPelsPerMeter << r.biClrUsed << r.biClrImportant;
}

LittleEndianReader &operator>>(LittleEndianReader &in, BitmapInfoHeader &r)
{
    return in >> r.biSize >> r.biWidth >> r.biHeight >> r.biPlanes >> r.biBitCount >> r.biCompression >> r.biSizeImage
           >> r.biXPelsPerMeter >> r.biYPelsPerMeter >> r.biClrUsed >> r.biClrImportant;
}

namespace {

template<typename Record>
QByteArray bytesOf(const Record &record)
{
    LittleEndianWriter out;
    out << record;
    return out.bytes();
}

template<typename Record>
Record recordAt(const QByteArray &bytes, qsizetype at)
{
    Record record;
    LittleEndianReader in(bytes, at);
    in >> record;
    return record;
}

} // namespace

QByteArray serialise(const IconDirRecord &r)
{
    return bytesOf(r);
}

QByteArray serialise(const IconEntryRecord &r)
{
    return bytesOf(r);
}

QByteArray serialise(const BitmapInfoHeader &r)
{
    return bytesOf(r);
}

IconDirRecord iconDirAt(const QByteArray &bytes, qsizetype at)
{
    return recordAt<IconDirRecord>(bytes, at);
}

IconEntryRecord iconEntryAt(const QByteArray &bytes, qsizetype at)
{
    return recordAt<IconEntryRecord>(bytes, at);
}

BitmapInfoHeader bitmapInfoHeaderAt(const QByteArray &bytes, qsizetype at)
{
    return recordAt<BitmapInfoHeader>(bytes, at);
}

IconBitmapLayout iconBitmapLayout(const BitmapInfoHeader &header, qint64 width, qint64 height)
{
    const int bits = header.biBitCount;
    IconBitmapLayout layout;
    if (bits >= 1 && bits <= 8)
        layout.paletteBytes = 4 * qint64(header.biClrUsed ? header.biClrUsed : 1u << bits);
    layout.colourRowBytes = ((width * bits + 31) / 32) * 4;
    layout.maskRowBytes = bits < 32 ? ((width + 31) / 32) * 4 : 0;
    layout.height = height;
    return layout;
}

IconImageHeader iconImageHeaderOf(const QByteArray &image)
{
    IconImageHeader header;
    if (hasPngSignature(image)) {
        header.png = true;
        // The signature, then the header chunk's length and type, then its
        // big-endian width and height, bit depth and colour type.
        if (image.size() < 26)
            return header;
        ByteWalker in(image);
        in.skip(16);
        header.width = *in.number(4, true);
        header.height = *in.number(4, true);
        const int depth = int(*in.number(1, true));
        const quint32 colourType = *in.number(1, true);
        const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
        header.bitsPerPixel = depth * channels;
        header.found = true;
        return header;
    }
    const BitmapInfoHeader info = bitmapInfoHeaderAt(image, 0);
    if (image.size() < BitmapInfoHeader::size || info.biSize < BitmapInfoHeader::size)
        return header;
    header.width = info.biWidth;
    header.height = info.biHeight / 2;
    header.bitsPerPixel = info.biBitCount;
    header.found = true;
    return header;
}

std::optional<IconDirectory> iconDirectoryOf(const QByteArray &file)
{
    if (!hasIconSignature(file))
        return std::nullopt;
    IconDirectory directory;
    LittleEndianReader in(file);
    IconDirRecord header;
    in >> header;
    directory.kind = IconDirectory::Kind(header.idType);
    directory.headerWhole = !in.ranPastEnd();
    directory.claimed = directory.headerWhole ? header.idCount : 0;
    if (file.size() >= directory.end())
        directory.entries.reserve(size_t(directory.claimed));
    for (int i = 0; i < directory.claimed; ++i) {
        IconEntryRecord entry;
        in >> entry;
        if (in.ranPastEnd())
            break;
        directory.entries.push_back(entry);
    }
    return directory;
}

std::optional<IconDirectory> readIconDirectory(QIODevice &device)
{
    const QByteArray head = device.peek(IconDirRecord::size);
    if (!hasIconSignature(head))
        return std::nullopt;
    if (head.size() < IconDirRecord::size)
        return iconDirectoryOf(head);
    return iconDirectoryOf(device.peek(iconEntryOffset(iconDirAt(head).idCount)));
}

namespace {

// What the walk of one image found: it is whole, cut short, or not what the
// walk understands (left to its decoder).
enum class ImageWalk { Whole, CutShort, Unknown };

// One image of an icon, a PNG stream or a bitmap without a file header: the
// directory gives its length, and its own header sizes the colour rows and,
// below 32 bits, the mask rows after them.
ImageWalk walkIconImage(DeviceReader &in, QIODevice &device, const IconEntryRecord &entry)
{
    const qint64 offset = entry.dwImageOffset;
    in.moveTo(offset);
    device.seek(in.absolute(offset));
    const QByteArray head = device.peek(BitmapInfoHeader::size);
    if (hasPngSignature(head)) {
        switch (walkPngChunks(in, offset + qint64(entry.dwBytesInRes))) {
        case PngChunks::Whole: return ImageWalk::Whole;
        case PngChunks::CutShort: return ImageWalk::CutShort;
        case PngChunks::Unknown: return ImageWalk::Unknown; // its decoder is given no more than its entry's bytes
        }
    }
    if (head.size() < BitmapInfoHeader::size)
        return ImageWalk::CutShort;
    const BitmapInfoHeader info = bitmapInfoHeaderAt(head, 0);
    const qint64 width = entry.bWidth ? entry.bWidth : qAbs(qint64(info.biWidth));
    const qint64 height = entry.bHeight ? entry.bHeight : qAbs(qint64(info.biHeight)) / 2;
    if (info.biSize < 40 || info.biSize > 1024 || width > 256 || height > 256)
        return ImageWalk::Unknown;
    return in.reaches(offset + info.biSize + iconBitmapLayout(info, width, height).bytes()) ? ImageWalk::Whole
                                                                                             : ImageWalk::CutShort;
}

bool imagesCutShort(DeviceReader &in, QIODevice &device, const IconDirectory &directory)
{
    std::unordered_set<quint64> walked;
    qint64 walkedBytes = 0;
    for (const IconEntryRecord &entry : directory.entries) {
        if (!walked.insert(imageBytesKey(entry)).second)
            continue;
        const qint64 end = qint64(entry.dwImageOffset) + entry.dwBytesInRes;
        if (!in.reaches(end))
            return true;
        walkedBytes += entry.dwBytesInRes;
        if (in.reaches(walkedBytes) && walkIconImage(in, device, entry) == ImageWalk::CutShort)
            return true;
    }
    return false;
}

} // namespace

bool isIconCutShort(QIODevice &device, const IconDirectory &directory)
{
    if (!directory.headerWhole)
        return true;
    if (directory.claimed == 0)
        return false;
    if (!directory.whole())
        return true;
    const qint64 start = device.pos();
    DeviceReader in(device, start);
    const bool cutShort = imagesCutShort(in, device, directory);
    device.seek(start);
    return cutShort;
}

IconImageHeader readIconImageHeader(QIODevice &device, const IconEntryRecord &entry)
{
    const qint64 start = device.pos();
    const IconImageHeader header = device.seek(start + entry.dwImageOffset)
                                       ? iconImageHeaderOf(device.read(BitmapInfoHeader::size))
                                       : IconImageHeader();
    device.seek(start);
    return header;
}

QSize iconImageSize(const IconEntryRecord &entry, const IconImageHeader &header)
{
    const auto side = [](qint64 pixels) { return int(std::clamp<qint64>(pixels, 0, INT_MAX)); };
    if (header.png)
        return QSize(side(header.width), side(header.height));
    return QSize(side(entry.bWidth ? entry.bWidth : header.width), side(entry.bHeight ? entry.bHeight : header.height));
}
