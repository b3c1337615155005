#include "reducedreaders.h"

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

// Rows up to this many bytes are read whole, many at a time; longer ones
// in pieces of this size.
constexpr qint64 readingBytes = 1 << 20;

// Sums rows too long to hold whole, a piece at a time, straight into the
// blocks: memory stays small however wide the picture.
bool sumLongRows(QIODevice &device, const BmpLayout &layout, BlockAverager &blocks)
{
    const int piecePixels = int(readingBytes / layout.bytesPerPixel);
    std::vector<char> piece(size_t(piecePixels) * size_t(layout.bytesPerPixel));
    for (int fileRow = 0; fileRow < layout.height; ++fileRow) {
        const int y = layout.bottomUp ? layout.height - 1 - fileRow : fileRow;
        for (int x = 0; x < layout.width; x += piecePixels) {
            const int count = std::min(piecePixels, layout.width - x);
            const qint64 bytes = qint64(count) * layout.bytesPerPixel;
            if (device.read(piece.data(), bytes) != bytes)
                return false;
            blocks.addBgrPixels(y, x, reinterpret_cast<const uchar *>(piece.data()), count, layout.bytesPerPixel);
        }
        const qint64 padding = layout.stride - qint64(layout.width) * layout.bytesPerPixel;
        if (padding > 0 && device.read(piece.data(), padding) != padding)
            return false;
    }
    return true;
}

// Sums the rows, which start at the device's current position.
ReducedPicture sumRows(QIODevice &device, const BmpLayout &layout, QSize block)
{
    BlockAverager blocks(QSize(layout.width, layout.height), block);
    if (layout.stride > readingBytes)
        return sumLongRows(device, layout, blocks) ? blocks.result() : ReducedPicture();
    // Many rows are read at a time: fewer, larger reads.
    const int rowsAtOnce = int(std::max<qint64>(1, readingBytes / layout.stride));
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
    const QSize block = reductionBlock(QSize(layout.width, layout.height), drawSize);
    const qint64 start = device.pos();
    if (block == QSize(1, 1) || !device.seek(start + layout.pixelOffset))
        return {};
    ReducedPicture reduced = sumRows(device, layout, block);
    device.seek(start);
    return reduced;
}
