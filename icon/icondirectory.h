#pragma once

#include "littleendian.h"

#include <QByteArray>
#include <QIODevice>
#include <QPoint>
#include <QSize>
#include <QtGlobal>

#include <optional>
#include <vector>

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

// The directory of an icon or cursor file: its header and its entries as
// they are stored, read once and shared by everything that looks into the
// file (its listing, the walk that finds a file cut short, the reading of
// its images and masks). This is the one place that tells an icon or a
// cursor by its first bytes.

struct IconDirectory
{
    enum class Kind { Icon = 1, Cursor = 2 };
    Kind kind = Kind::Icon;
    // Whether the file holds the whole header (reserved, type, count): a
    // file of four or five bytes has the signature and no more.
    bool headerWhole = false;
    // How many images the header claims (0 when it is not whole).
    int claimed = 0;
    // The entries the file holds whole, in their order: all that are
    // claimed unless the file ends within its directory.
    std::vector<IconEntryRecord> entries;

    bool cursor() const { return kind == Kind::Cursor; }
    // Whether every entry the header claims is in the file.
    bool whole() const { return headerWhole && int(entries.size()) == claimed; }
    // Where the directory ends and the images may begin.
    qint64 end() const { return iconEntryOffset(claimed); }

    // The bits per pixel an entry claims: a cursor's entry holds its hot
    // spot there instead, and claims none.
    int claimedBits(const IconEntryRecord &entry) const { return cursor() ? 0 : entry.wBitCount; }
    // A cursor's hot spot, from where an icon's entry holds planes and bits.
    static QPoint hotSpot(const IconEntryRecord &entry) { return QPoint(entry.wPlanes, entry.wBitCount); }
};

// Whether `head`, a file's first bytes, opens an icon (0, 1) or a cursor
// (0, 2): its reserved field and its type.
inline bool hasIconSignature(const QByteArray &head)
{
    quint16 reserved = 0;
    quint16 type = 0;
    LittleEndianReader in(head);
    in >> reserved >> type;
    return !in.ranPastEnd() && reserved == 0 && (type == 1 || type == 2);
}

// Whether `head`, a file's first bytes, opens an icon or cursor file: its
// signature, and at least one image, or a file that ends before it says how
// many. A directory that lists none is no icon (it may be a TGA, whose
// header has no signature of its own).
inline bool opensIconFile(const QByteArray &head)
{
    quint16 reserved = 0;
    quint16 type = 0;
    quint16 count = 0;
    LittleEndianReader in(head);
    in >> reserved >> type >> count;
    return hasIconSignature(head) && (in.ranPastEnd() || count > 0);
}

// The directory at the start of `file`; nothing when it is no icon or cursor.
std::optional<IconDirectory> iconDirectoryOf(const QByteArray &file);

// The directory of the icon or cursor that begins where the device stands,
// reading its header and its entries only; the device is left where it was.
std::optional<IconDirectory> readIconDirectory(QIODevice &device);

// Whether the icon or cursor the directory heads (at the device's position)
// ends before an image it lists does, each image as its own header sizes
// it: a PNG stream up to its end chunk, a bitmap's colour and mask rows.
// Entries that name the same bytes name one image, walked once; and no more
// bytes are walked in all than the file holds, since images can only need
// more by sharing bytes, which their decoders judge. So a directory of
// 65,535 entries costs one walk of the file. The device is left where it
// was.
bool isIconCutShort(QIODevice &device, const IconDirectory &directory);

// What the image of `entry` begins with, in the icon or cursor at the
// device's position; the device is left where it was.
IconImageHeader readIconImageHeader(QIODevice &device, const IconEntryRecord &entry);

// The size an image decodes to: a PNG's, as its own header says (which may
// claim far more than its entry); a bitmap's, as Qt's reader takes it, from
// its entry (where 0 stands for what its header says).
QSize iconImageSize(const IconEntryRecord &entry, const IconImageHeader &header);
