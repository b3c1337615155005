#include "reducedpicture.h"

#include "headerfields.h"

#include <climits>
#include <vector>

namespace {

struct BmpLayout
{
    qint64 pixelOffset = 0;
    int width = 0;
    int height = 0;
    bool bottomUp = true;
    int bytesPerPixel = 0;
    qint64 stride = 0;
};

// The layout of a plain BI_RGB bitmap at 24 or 32 bits per pixel, or nothing.
bool readLayout(QIODevice &device, BmpLayout &layout)
{
    const QByteArray head = device.peek(54);
    if (head.size() < 54 || !head.startsWith("BM"))
        return false;
    const quint32 headerSize = fieldAt<quint32>(head, 14);
    const qint32 width = fieldAt<qint32>(head, 18);
    const qint32 height = fieldAt<qint32>(head, 22);
    const quint16 planes = fieldAt<quint16>(head, 26);
    const quint16 bitCount = fieldAt<quint16>(head, 28);
    const quint32 compression = fieldAt<quint32>(head, 30);
    if (headerSize < 40 || planes != 1 || compression != 0 || (bitCount != 24 && bitCount != 32))
        return false;
    if (width <= 0 || height == 0 || height == INT_MIN)
        return false;
    layout.pixelOffset = fieldAt<quint32>(head, 10);
    layout.width = width;
    layout.height = qAbs(height);
    layout.bottomUp = height > 0;
    layout.bytesPerPixel = bitCount / 8;
    layout.stride = ((qint64(width) * bitCount + 31) / 32) * 4; // rows padded to 32 bits
    return layout.pixelOffset >= 54
           && device.size() >= layout.pixelOffset + layout.stride * layout.height;
}

// Sums the rows, which start at the device's current position.
ReducedPicture sumRows(QIODevice &device, const BmpLayout &layout, int side)
{
    BlockAverager blocks(QSize(layout.width, layout.height), side);
    std::vector<char> stored(size_t(layout.stride));
    std::vector<QRgb> row(size_t(layout.width));
    for (int fileRow = 0; fileRow < layout.height; ++fileRow) {
        if (device.read(stored.data(), layout.stride) != layout.stride)
            return {};
        const uchar *pixel = reinterpret_cast<const uchar *>(stored.data());
        for (int x = 0; x < layout.width; ++x, pixel += layout.bytesPerPixel)
            row[size_t(x)] = qRgb(pixel[2], pixel[1], pixel[0]); // stored blue, green, red
        // Bottom-up files give the picture's last row first.
        blocks.addRow(layout.bottomUp ? layout.height - 1 - fileRow : fileRow, row.data());
    }
    return blocks.result();
}

} // namespace

ReducedPicture readReducedBmp(QIODevice &device, QSize drawSize)
{
    BmpLayout layout;
    if (device.isSequential() || !readLayout(device, layout))
        return {};
    const int side = reductionBlockSide(QSize(layout.width, layout.height), drawSize);
    const qint64 start = device.pos();
    if (side < 2 || !device.seek(start + layout.pixelOffset))
        return {};
    ReducedPicture reduced = sumRows(device, layout, side);
    device.seek(start);
    return reduced;
}
