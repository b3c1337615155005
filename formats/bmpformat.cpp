// Windows bitmaps: the header read once, the structure walked, big plain
// ones read reduced, run-length coded ones decoded here, the rest by Qt's
// reader.

#include "bmpheader.h"
#include "formatrows.h"
#include "picturelimits.h"
#include "qtdecode.h"
#include "reducedreaders.h"
#include "runlengthbmp.h"
#include "structurewalk.h"

#include <algorithm>
#include <climits>
#include <limits>
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
// `header` is parsed from `head`, the file's first bytes.
bool readLayout(QIODevice &device, const BmpHeader &header, const QByteArray &head, BmpLayout &layout)
{
    if (head.size() < 54 || !head.startsWith("BM"))
        return false;
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

ReducedPicture readReducedBmp(QIODevice &device, const BmpHeader &header, const QByteArray &head, QSize drawSize)
{
    BmpLayout layout;
    if (device.isSequential() || !readLayout(device, header, head, layout))
        return {};
    const QSize block = reductionBlock(QSize(layout.width, layout.height), drawSize);
    const qint64 start = device.pos();
    if (block == QSize(1, 1) || !device.seek(start + layout.pixelOffset))
        return {};
    ReducedPicture reduced = sumRows(device, layout, block);
    device.seek(start);
    return reduced;
}

} // namespace

ReducedPicture readReducedBmp(QIODevice &device, QSize drawSize)
{
    const QByteArray head = device.peek(64);
    return readReducedBmp(device, BmpHeader::from(head), head, drawSize);
}

namespace {

// Coded rows: pairs of bytes, up to the end-of-bitmap pair or until every
// row has ended, as the decoder stops there.
Walk walkBmpRunLengths(DeviceReader &in, bool fourBits, qint64 height)
{
    for (qint64 row = 0; row < height;) {
        const std::optional<uchar> count = in.byte();
        const std::optional<uchar> value = in.byte();
        if (!count || !value)
            return Walk::CutShort;
        if (*count != 0)
            continue; // a run
        if (*value == 0) {
            ++row; // the end of a row
        } else if (*value == 1) {
            return Walk::Whole; // the end of the bitmap
        } else if (*value == 2) {
            const std::optional<uchar> right = in.byte(); // a move to another pixel
            const std::optional<uchar> down = in.byte();
            if (!right || !down)
                return Walk::CutShort;
            row += *down;
        } else {
            // A stretch of pixels stored as they are, padded to 16 bits.
            const qint64 bytes = fourBits ? (*value + 1) / 2 : *value;
            if (!in.skip(bytes + (bytes & 1)))
                return Walk::CutShort;
        }
    }
    return Walk::Whole;
}

// The headers, masks, palette and every pixel row (or its coded rows up to
// the end), from the header parsed from the file's first `headBytes`.
Walk walkBmp(DeviceReader &in, const BmpHeader &header, qsizetype headBytes)
{
    if (headBytes < 18)
        return Walk::CutShort;
    if (header.infoSize > 1024 || header.paletteEntries() > 256)
        return Walk::Unknown; // no decoder reads such a header
    if (!in.reaches(14 + qint64(header.infoSize)))
        return Walk::CutShort;
    const qint64 start = header.pixelDataStart();
    const qint64 width = qAbs(header.width);
    const qint64 height = qAbs(header.height);
    switch (header.compression) {
    case 0: // plain rows
    case 3: // plain rows with bit masks
    case 6: {
        const qint64 stride = ((width * header.bits + 31) / 32) * 4; // rows padded to 32 bits
        if (stride > 0 && height > (std::numeric_limits<qint64>::max() - start) / stride)
            return Walk::CutShort; // more data than any file holds
        return cutShortUnless(in.reaches(start + stride * height));
    }
    case 1:
    case 2:
        if (!in.reaches(start))
            return Walk::CutShort;
        in.moveTo(start);
        return walkBmpRunLengths(in, header.compression == 2, height);
    default: return Walk::Unknown;
    }
}

class BmpReader : public FormatReader
{
public:
    explicit BmpReader(const QByteArray &head)
        : m_head(head)
        , m_header(BmpHeader::from(m_head))
    {
        const auto side = [](qint64 stored) { return int(qMin<qint64>(qAbs(stored), INT_MAX)); };
        if (m_head.size() >= 26)
            claim(QSize(side(m_header.width), side(m_header.height)));
    }

    bool isCutShort(QIODevice &device) override
    {
        return walksCutShort(device, [this](DeviceReader &in) { return walkBmp(in, m_header, m_head.size()); });
    }

    // A bitmap is read whole whatever the reduction: four pixels each.
    std::optional<Picture> readReduced(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        return pictureOf(readReducedBmp(device, m_header, m_head, readerDrawSize(claimedSize(), drawSize, detail, 4)));
    }

    PictureLoad decodeWhole(QIODevice &device, QSize, DrawDetail) override
    {
        if (std::optional<Picture> runLength = decodeRunLength(device))
            return {std::move(*runLength), std::nullopt};
        return decodeWithQt(device);
    }

private:
    std::optional<Picture> decodeRunLength(QIODevice &device) const
    {
        const BigDecodeTurn turn(pixelsOf(claimedSize())); // such a bitmap is decoded whole
        QImage image = readRunLengthBmp(device, m_header, m_head);
        if (image.isNull())
            return std::nullopt;
        return Picture(std::move(image));
    }

    QByteArray m_head;
    BmpHeader m_header;
};

} // namespace

bool isBmp(QIODevice &, const QByteArray &head)
{
    return head.startsWith("BM");
}

std::unique_ptr<FormatReader> openBmpReader(QIODevice &, const QByteArray &head)
{
    return std::make_unique<BmpReader>(head);
}
