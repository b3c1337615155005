#include "reducedpicture.h"

#include "bmpheader.h"

#include <algorithm>
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
    const BmpHeader header = BmpHeader::from(head);
    if (header.infoSize < 40 || header.planes != 1 || header.compression != 0
        || (header.bits != 24 && header.bits != 32))
        return false;
    if (header.width <= 0 || header.width > INT_MAX || header.height == 0 || qAbs(header.height) > INT_MAX)
        return false;
    layout.pixelOffset = header.pixelDataStart();
    layout.width = int(header.width);
    layout.height = int(qAbs(header.height));
    layout.bottomUp = header.height > 0;
    layout.bytesPerPixel = header.bits / 8;
    layout.stride = ((header.width * header.bits + 31) / 32) * 4; // rows padded to 32 bits
    return device.size() >= layout.pixelOffset + layout.stride * layout.height;
}

// Sums the rows, which start at the device's current position.
ReducedPicture sumRows(QIODevice &device, const BmpLayout &layout, int side)
{
    BlockAverager blocks(QSize(layout.width, layout.height), side);
    // Many rows are read at a time: fewer, larger reads.
    const int rowsAtOnce = int(std::max<qint64>(1, (1 << 20) / layout.stride));
    std::vector<char> stored(size_t(layout.stride) * size_t(rowsAtOnce));
    for (int fileRow = 0; fileRow < layout.height; fileRow += rowsAtOnce) {
        const int rows = std::min(rowsAtOnce, layout.height - fileRow);
        if (device.read(stored.data(), layout.stride * rows) != layout.stride * rows)
            return {};
        for (int i = 0; i < rows; ++i) {
            const uchar *pixels = reinterpret_cast<const uchar *>(stored.data()) + layout.stride * i;
            // Bottom-up files give the picture's last row first.
            const int y = layout.bottomUp ? layout.height - 1 - (fileRow + i) : fileRow + i;
            blocks.addBgrRow(y, pixels, layout.bytesPerPixel);
        }
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
