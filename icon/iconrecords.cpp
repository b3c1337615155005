#include "iconrecords.h"

#include "littleendian.h"
#include "pngchunks.h"

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
