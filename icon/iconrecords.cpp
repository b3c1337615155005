#include "iconrecords.h"

#include "littleendian.h"

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
