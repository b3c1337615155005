#include "iconset.h"

#include <QtEndian>

namespace {

template<typename T>
void append(QByteArray &bytes, T value)
{
    char field[sizeof(T)];
    qToLittleEndian<T>(value, field);
    bytes.append(field, sizeof(T));
}

int maskRowBytes(int side)
{
    return (side + 31) / 32 * 4;
}

QByteArray bitmapOf(const IconImage &image)
{
    const int side = image.side;
    QByteArray bytes;
    bytes.reserve(40 + side * side * 4 + side * maskRowBytes(side));
    append<quint32>(bytes, 40);           // header size
    append<qint32>(bytes, side);          // width
    append<qint32>(bytes, 2 * side);      // height: the colour rows and the mask's
    append<quint16>(bytes, 1);            // planes
    append<quint16>(bytes, 32);           // bits per pixel
    append<quint32>(bytes, 0);            // BI_RGB
    append<quint32>(bytes, quint32(side * side * 4 + side * maskRowBytes(side)));
    append<qint32>(bytes, 0);
    append<qint32>(bytes, 0);
    append<quint32>(bytes, 0);
    append<quint32>(bytes, 0);
    for (int y = side - 1; y >= 0; --y)
        for (int x = 0; x < side; ++x)
            append<quint32>(bytes, image.pixels[size_t(y) * size_t(side) + size_t(x)]); // B, G, R, A in memory
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

    QByteArray file;
    append<quint16>(file, 0); // reserved
    append<quint16>(file, 1); // an icon
    append<quint16>(file, quint16(images.size()));
    quint32 offset = quint32(6 + 16 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const quint8 side = quint8(images[i].side == 256 ? 0 : images[i].side);
        file.append(char(side)).append(char(side));
        file.append('\0').append('\0'); // no palette, reserved
        append<quint16>(file, 1);       // planes
        append<quint16>(file, 32);      // bits per pixel
        append<quint32>(file, quint32(data[i].size()));
        append<quint32>(file, offset);
        offset += quint32(data[i].size());
    }
    for (const QByteArray &bytes : data)
        file += bytes;
    return file;
}
