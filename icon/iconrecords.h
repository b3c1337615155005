#pragma once

#include <QByteArray>
#include <QtGlobal>

// The records an icon file is made of, as the format lays them out: the
// directory's header (ICONDIR), one entry per image (ICONDIRENTRY), and
// each bitmap image's BITMAPINFOHEADER, the same header a bitmap file has.
// Written and read here only, field by field, little-endian.

struct IconDirRecord
{
    static constexpr int size = 6;
    quint16 idReserved = 0;
    quint16 idType = 1; // 1 an icon, 2 a cursor
    quint16 idCount = 0;
};

struct IconEntryRecord
{
    static constexpr int size = 16;
    quint8 bWidth = 0; // 0 stands for 256
    quint8 bHeight = 0;
    quint8 bColorCount = 0;
    quint8 bReserved = 0;
    quint16 wPlanes = 0;
    quint16 wBitCount = 0;
    quint32 dwBytesInRes = 0;
    quint32 dwImageOffset = 0;
};

struct BitmapInfoHeader
{
    static constexpr int size = 40;
    quint32 biSize = size;
    qint32 biWidth = 0;
    qint32 biHeight = 0; // in an icon, twice the image's: the colour rows and the mask's
    quint16 biPlanes = 1;
    quint16 biBitCount = 0;
    quint32 biCompression = 0;
    quint32 biSizeImage = 0;
    qint32 biXPelsPerMeter = 0;
    qint32 biYPelsPerMeter = 0;
    quint32 biClrUsed = 0;
    quint32 biClrImportant = 0;
};

class LittleEndianWriter;
class LittleEndianReader;

// Each record is written and read field by field in the order it is stored.
LittleEndianWriter &operator<<(LittleEndianWriter &out, const IconDirRecord &record);
LittleEndianReader &operator>>(LittleEndianReader &in, IconDirRecord &record);
LittleEndianWriter &operator<<(LittleEndianWriter &out, const IconEntryRecord &record);
LittleEndianReader &operator>>(LittleEndianReader &in, IconEntryRecord &record);
LittleEndianWriter &operator<<(LittleEndianWriter &out, const BitmapInfoHeader &record);
LittleEndianReader &operator>>(LittleEndianReader &in, BitmapInfoHeader &record);

QByteArray serialise(const IconDirRecord &record);
QByteArray serialise(const IconEntryRecord &record);
QByteArray serialise(const BitmapInfoHeader &record);

// The record that begins at `at` in `bytes`; fields past the end read as 0.
IconDirRecord iconDirAt(const QByteArray &bytes, qsizetype at = 0);
IconEntryRecord iconEntryAt(const QByteArray &bytes, qsizetype at);
BitmapInfoHeader bitmapInfoHeaderAt(const QByteArray &bytes, qsizetype at);

// Where entry `index` of an icon's directory begins.
constexpr qsizetype iconEntryOffset(int index)
{
    return IconDirRecord::size + qsizetype(index) * IconEntryRecord::size;
}

// The parts of a bitmap image in an icon, after its header: the palette
// (up to 8 bits per pixel), the colour rows, then the AND mask's rows
// (below 32 bits), bottom-up, each row padded to four bytes. `width` and
// `height` are the image's own (its header's height is doubled).
struct IconBitmapLayout
{
    qint64 paletteBytes = 0;
    qint64 colourRowBytes = 0;
    qint64 maskRowBytes = 0;
    qint64 height = 0;

    // Where the mask begins, and where the image ends, after the header.
    qint64 maskOffset() const { return paletteBytes + colourRowBytes * height; }
    qint64 bytes() const { return maskOffset() + maskRowBytes * height; }
};
IconBitmapLayout iconBitmapLayout(const BitmapInfoHeader &header, qint64 width, qint64 height);

// Entries that name the same stretch of the file (one offset, one length)
// have the same key: an image listed many times is read once.
constexpr quint64 imageBytesKey(const IconEntryRecord &entry)
{
    return (quint64(entry.dwImageOffset) << 32) | entry.dwBytesInRes;
}

// What an image's own first bytes say of it: a PNG stream's header chunk,
// or a bitmap image's BITMAPINFOHEADER. Nothing is found when the header is
// not all there.
struct IconImageHeader
{
    bool found = false;
    bool png = false;
    qint64 width = 0;
    qint64 height = 0; // a bitmap's own: its header's is doubled
    int bitsPerPixel = 0;
};
IconImageHeader iconImageHeaderOf(const QByteArray &image);

// An entry's width or height in pixels: 0 stands for 256.
constexpr int iconEntrySide(quint8 stored)
{
    return stored == 0 ? 256 : stored;
}
