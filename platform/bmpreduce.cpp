#include "bmpreduce.h"

#include "headerfields.h"

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

// The block side: the largest that keeps eight source pixels for each drawn
// pixel in both directions; 1 means reducing is not worth it.
int blockSide(const BmpLayout &layout, QSize drawSize)
{
    const int byWidth = layout.width / (8 * std::max(drawSize.width(), 1));
    const int byHeight = layout.height / (8 * std::max(drawSize.height(), 1));
    return std::max(1, std::min(byWidth, byHeight));
}

} // namespace

ReducedBmp readReducedBmp(QIODevice &device, QSize drawSize)
{
    BmpLayout layout;
    if (!drawSize.isValid() || device.isSequential() || !readLayout(device, layout))
        return {};
    const int side = blockSide(layout, drawSize);
    if (side < 2)
        return {};
    const int outWidth = (layout.width + side - 1) / side;
    const int outHeight = (layout.height + side - 1) / side;
    QImage reduced(outWidth, outHeight, QImage::Format_RGB32);
    if (reduced.isNull() || !device.seek(layout.pixelOffset))
        return {};

    std::vector<quint64> sums(size_t(outWidth) * 3);
    std::vector<char> row(size_t(layout.stride));
    for (int blockRow = 0; blockRow < outHeight; ++blockRow) {
        std::fill(sums.begin(), sums.end(), 0);
        // Blocks line up with the picture's top-left corner; bottom-up files
        // give the picture's last rows first.
        const int y = layout.bottomUp ? outHeight - 1 - blockRow : blockRow;
        const int rows = std::min(side, layout.height - y * side);
        for (int r = 0; r < rows; ++r) {
            if (device.read(row.data(), layout.stride) != layout.stride) {
                device.seek(0);
                return {};
            }
            const uchar *pixel = reinterpret_cast<const uchar *>(row.data());
            for (int x = 0; x < layout.width; ++x, pixel += layout.bytesPerPixel) {
                quint64 *sum = &sums[size_t(x / side) * 3];
                sum[0] += pixel[2]; // stored blue, green, red
                sum[1] += pixel[1];
                sum[2] += pixel[0];
            }
        }
        QRgb *out = reinterpret_cast<QRgb *>(reduced.scanLine(y));
        for (int x = 0; x < outWidth; ++x) {
            const quint64 count = quint64(rows) * std::min(side, layout.width - x * side);
            const quint64 *sum = &sums[size_t(x) * 3];
            out[x] = qRgb(int((sum[0] + count / 2) / count), int((sum[1] + count / 2) / count),
                          int((sum[2] + count / 2) / count));
        }
    }
    return {reduced, QSize(layout.width, layout.height),
            QSizeF(double(layout.width) / side, double(layout.height) / side)};
}
