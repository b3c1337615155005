#include "iconrecords.h"

#include "littleendian.h"

#include <QtEndian>

QByteArray serialise(const IconDirRecord &r)
{
    return (LittleEndianWriter() << r.idReserved << r.idType << r.idCount).bytes();
}

QByteArray serialise(const IconEntryRecord &r)
{
    return (LittleEndianWriter() << r.bWidth << r.bHeight << r.bColorCount << r.bReserved << r.wPlanes
                                 << r.wBitCount << r.dwBytesInRes << r.dwImageOffset)
        .bytes();
}

QByteArray serialise(const BitmapInfoHeader &r)
{
    return (LittleEndianWriter() << r.biSize << r.biWidth << r.biHeight << r.biPlanes << r.biBitCount
                                 << r.biCompression << r.biSizeImage << r.biXPelsPerMeter << r.biYPelsPerMeter
                                 << r.biClrUsed << r.biClrImportant)
        .bytes();
}

IconDirRecord iconDirAt(const QByteArray &bytes, qsizetype at)
{
    return {fieldAt<quint16>(bytes, at), fieldAt<quint16>(bytes, at + 2), fieldAt<quint16>(bytes, at + 4)};
}

IconEntryRecord iconEntryAt(const QByteArray &bytes, qsizetype at)
{
    IconEntryRecord r;
    r.bWidth = fieldAt<quint8>(bytes, at);
    r.bHeight = fieldAt<quint8>(bytes, at + 1);
    r.bColorCount = fieldAt<quint8>(bytes, at + 2);
    r.bReserved = fieldAt<quint8>(bytes, at + 3);
    r.wPlanes = fieldAt<quint16>(bytes, at + 4);
    r.wBitCount = fieldAt<quint16>(bytes, at + 6);
    r.dwBytesInRes = fieldAt<quint32>(bytes, at + 8);
    r.dwImageOffset = fieldAt<quint32>(bytes, at + 12);
    return r;
}

BitmapInfoHeader bitmapInfoHeaderAt(const QByteArray &bytes, qsizetype at)
{
    BitmapInfoHeader r;
    r.biSize = fieldAt<quint32>(bytes, at);
    r.biWidth = fieldAt<qint32>(bytes, at + 4);
    r.biHeight = fieldAt<qint32>(bytes, at + 8);
    r.biPlanes = fieldAt<quint16>(bytes, at + 12);
    r.biBitCount = fieldAt<quint16>(bytes, at + 14);
    r.biCompression = fieldAt<quint32>(bytes, at + 16);
    r.biSizeImage = fieldAt<quint32>(bytes, at + 20);
    r.biXPelsPerMeter = fieldAt<qint32>(bytes, at + 24);
    r.biYPelsPerMeter = fieldAt<qint32>(bytes, at + 28);
    r.biClrUsed = fieldAt<quint32>(bytes, at + 32);
    r.biClrImportant = fieldAt<quint32>(bytes, at + 36);
    return r;
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
    if (image.startsWith(QByteArray("\x89PNG\r\n\x1A\n", 8))) {
        header.png = true;
        // The signature, then the header chunk's length and type, then its
        // big-endian width and height, bit depth and colour type.
        if (image.size() < 26)
            return header;
        const auto bigEndianAt = [&image](qsizetype at) { return qFromBigEndian<quint32>(image.constData() + at); };
        const int colourType = uchar(image.at(25));
        const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
        header.width = bigEndianAt(16);
        header.height = bigEndianAt(20);
        header.bitsPerPixel = uchar(image.at(24)) * channels;
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
