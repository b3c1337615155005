#include "iconset.h"

#include "icondirectory.h"
#include "littleendian.h"

namespace {

int maskRowBytes(int side)
{
    return (side + 31) / 32 * 4; // rows padded to 32 bits
}

// A 32-bit bitmap image: its header, the colour rows and the AND mask rows,
// both bottom-up.
QByteArray bitmapOf(const IconImage &image)
{
    const int side = image.side;
    BitmapInfoHeader header;
    header.biWidth = side;
    header.biHeight = 2 * side; // the colour rows and the mask's
    header.biBitCount = 32;
    header.biSizeImage = quint32(side * side * 4 + side * maskRowBytes(side));
    LittleEndianWriter colours;
    for (int y = side - 1; y >= 0; --y)
        for (int x = 0; x < side; ++x)
            colours << image.pixels[size_t(y) * size_t(side) + size_t(x)]; // B, G, R, A in memory
    QByteArray bytes = serialise(header) + colours.bytes();
    for (int y = side - 1; y >= 0; --y) {
        QByteArray row(maskRowBytes(side), '\0');
        for (int x = 0; x < side; ++x)
            if (image.pixels[size_t(y) * size_t(side) + size_t(x)] >> 24 == 0)
                row[x / 8] = char(uchar(row[x / 8]) | (0x80 >> (x % 8)));
        bytes += row;
    }
    return bytes;
}

} // namespace

QByteArray encodeIconSet(const std::vector<IconImage> &images)
{
    std::vector<QByteArray> data;
    for (const IconImage &image : images)
        data.push_back(image.png.isEmpty() ? bitmapOf(image) : image.png);

    IconDirRecord dir;
    dir.idCount = quint16(images.size());
    QByteArray file = serialise(dir);
    quint32 offset = quint32(iconEntryOffset(int(images.size())));
    for (size_t i = 0; i < images.size(); ++i) {
        IconEntryRecord entry;
        entry.bWidth = entry.bHeight = quint8(images[i].side == 256 ? 0 : images[i].side);
        entry.wPlanes = 1;
        entry.wBitCount = 32;
        entry.dwBytesInRes = quint32(data[i].size());
        entry.dwImageOffset = offset;
        file += serialise(entry);
        offset += entry.dwBytesInRes;
    }
    for (const QByteArray &bytes : data)
        file += bytes;
    return file;
}

QByteArray cursorFromIcon(const QByteArray &icon, const std::vector<QPoint> &hotSpots)
{
    const std::optional<IconDirectory> directory = iconDirectoryOf(icon);
    if (!directory || directory->cursor() || !directory->whole() || directory->entries.size() != hotSpots.size())
        return {};
    IconDirRecord dir;
    dir.idType = quint16(IconDirectory::Kind::Cursor);
    dir.idCount = quint16(hotSpots.size());
    QByteArray cursor = serialise(dir);
    for (size_t i = 0; i < hotSpots.size(); ++i) {
        IconEntryRecord entry = directory->entries[i];
        entry.wPlanes = quint16(hotSpots[i].x());
        entry.wBitCount = quint16(hotSpots[i].y());
        cursor += serialise(entry);
    }
    return cursor + icon.mid(cursor.size());
}
