#include "reducedpicture.h"

#include <QTransform>

#include <algorithm>
#include <utility>

QSize streamingBlock(QSize size, QSize drawSize, int bitsPerSample, bool greyOrIndexed, qint64 wholeDecodeLimit)
{
    // Qt's readers keep 16-bit samples in 64-bit pixels, and grey levels and
    // palette indexes of 2 to 8 bits in a byte each, which the resampling
    // reads as they stand; anything else ends up 32 bits a pixel.
    int bytesPerPixel = 4;
    if (bitsPerSample >= 16)
        bytesPerPixel = 8;
    else if (greyOrIndexed && bitsPerSample >= 2)
        bytesPerPixel = 1;
    if (pixelsOf(size) * bytesPerPixel <= wholeDecodeLimit)
        return QSize();
    // A picture the drawing needs every pixel of takes as much memory either
    // way, unless Qt's reader would keep it at 64 bits a pixel: that one is
    // read here whole, at 32, within the limit of a whole decode.
    const QSize block = reductionBlock(size, drawSize);
    if (block == QSize(1, 1) && (bytesPerPixel < 8 || isTooLarge(size, maximumFullDecodePixels)))
        return QSize();
    return block;
}

QSize reductionBlock(QSize size, QSize drawSize)
{
    if (!drawSize.isValid() || size.isEmpty())
        return QSize(1, 1);
    const int byWidth = size.width() / (8 * std::max(drawSize.width(), 1));
    const int byHeight = size.height() / (8 * std::max(drawSize.height(), 1));
    const int side = std::max(1, std::min(byWidth, byHeight));
    if (side >= 2 || qint64(size.width()) * size.height() <= unevenBlocksPixels)
        return QSize(side, side);
    // Too thin for square blocks: each side reduced on its own, a block's sum
    // of 255s kept within 32 bits.
    const int high = std::max(1, byHeight);
    const int wide = std::max(1, std::min(byWidth, int(maximumBlockPixels / high)));
    return QSize(wide, high);
}

BlockAverager::BlockAverager(QSize size, QSize block)
    : m_size(size)
    , m_block(block)
    , m_blocks((size.width() + block.width() - 1) / block.width(), (size.height() + block.height() - 1) / block.height())
    , m_means(m_blocks, QImage::Format_ARGB32_Premultiplied)
    , m_sums(size_t(m_blocks.height()))
    , m_added(size_t(m_blocks.height()))
{
    m_means.fill(Qt::transparent); // a block no pixel reaches stays clear
}

quint32 *BlockAverager::sumsOf(int y)
{
    std::vector<quint32> &sums = m_sums[size_t(y / m_block.height())];
    if (sums.empty())
        sums.resize(size_t(m_blocks.width()) * 4);
    return sums.data();
}

void BlockAverager::added(int y, qint64 count)
{
    const int blockRow = y / m_block.height();
    const qint64 rows = std::min(m_block.height(), m_size.height() - blockRow * m_block.height());
    m_added[size_t(blockRow)] += count;
    if (m_added[size_t(blockRow)] == rows * m_size.width())
        average(blockRow);
}

namespace {

// A pixel's channels in 16-bit lanes: blue, green, red, alpha from the
// lowest. A lane holds the sum of up to 257 pixels' channels without carry.
constexpr int laneCapacity = 65535 / 255;

quint64 spread(quint64 alpha, quint64 red, quint64 green, quint64 blue)
{
    return blue | green << 16 | red << 32 | alpha << 48;
}

quint64 spread(QRgb p)
{
    return spread(qAlpha(p), qRed(p), qGreen(p), qBlue(p));
}

quint32 lane(quint64 lanes, int channel)
{
    return quint32(lanes >> (16 * channel)) & 0xFFFF;
}

} // namespace

template<typename Lanes>
void BlockAverager::accumulate(int y, int from, int to, Lanes lanes)
{
    quint32 *row = sumsOf(y);
    const int width = m_block.width();
    // A block row wider than a lane holds is summed in pieces.
    const int piece = std::min(width, laneCapacity);
    for (int x = from; x < to;) {
        quint32 *sum = row + size_t(x / width) * 4;
        const int blockEnd = int(std::min<qint64>((qint64(x) / width + 1) * width, to));
        while (x < blockEnd) {
            const int end = std::min(x + piece, blockEnd);
            quint64 total = 0;
            for (; x < end; ++x)
                total += lanes(x);
            sum[0] += lane(total, 3);
            sum[1] += lane(total, 2);
            sum[2] += lane(total, 1);
            sum[3] += lane(total, 0);
        }
    }
    added(y, to - from);
}

void BlockAverager::addRow(int y, const QRgb *pixels)
{
    accumulate(y, 0, m_size.width(), [pixels](int x) { return spread(pixels[x]); });
}

void BlockAverager::addRowPart(int y, int x, const QRgb *pixels, int count)
{
    accumulate(y, x, x + count, [pixels, x](int at) { return spread(pixels[at - x]); });
}

void BlockAverager::addSpacedPixels(int y, int x, int step, const QRgb *pixels, int count)
{
    quint32 *row = sumsOf(y);
    for (int i = 0; i < count; ++i, x += step) {
        quint32 *sum = row + size_t(x / m_block.width()) * 4;
        const QRgb p = pixels[i];
        sum[0] += quint32(qAlpha(p));
        sum[1] += quint32(qRed(p));
        sum[2] += quint32(qGreen(p));
        sum[3] += quint32(qBlue(p));
    }
    added(y, count);
}

void BlockAverager::setPalette(const QRgb *palette)
{
    for (size_t i = 0; i < m_palette.size(); ++i)
        m_palette[i] = spread(palette[i]);
}

void BlockAverager::addIndexedRow(int y, const uchar *indexes)
{
    accumulate(y, 0, m_size.width(), [indexes, this](int x) { return m_palette[indexes[x]]; });
}

void BlockAverager::addBgrRow(int y, const uchar *pixels, int bytesPerPixel)
{
    const int blockRow = y / m_block.height();
    if (blockRow != m_bgrBlockRow || m_bgrRows == laneCapacity || bytesPerPixel != m_bgrBytesPerPixel)
        flushBgrColumns();
    m_bgrBlockRow = blockRow;
    m_bgrBytesPerPixel = bytesPerPixel;
    const size_t bytes = size_t(m_size.width()) * size_t(bytesPerPixel);
    m_bgrColumns.resize(bytes);
    quint16 *columns = m_bgrColumns.data();
    for (size_t i = 0; i < bytes; ++i)
        columns[i] += pixels[i];
    ++m_bgrRows;
    added(y, m_size.width());
}

void BlockAverager::addBgrPixels(int y, int x, const uchar *pixels, int count, int bytesPerPixel)
{
    quint32 *row = sumsOf(y);
    for (int i = 0; i < count; ++i, pixels += bytesPerPixel) {
        quint32 *sum = row + size_t((x + i) / m_block.width()) * 4;
        sum[0] += 255;
        sum[1] += pixels[2];
        sum[2] += pixels[1];
        sum[3] += pixels[0];
    }
    added(y, count);
}

void BlockAverager::flushBgrColumns()
{
    if (m_bgrRows == 0)
        return;
    quint32 *sum = sumsOf(m_bgrBlockRow * m_block.height());
    const quint16 *column = m_bgrColumns.data();
    const int width = m_size.width();
    for (int x = 0; x < width; sum += 4) {
        const int end = std::min(x + m_block.width(), width);
        sum[0] += quint32(255 * m_bgrRows * (end - x));
        for (; x < end; ++x, column += m_bgrBytesPerPixel) {
            sum[1] += column[2];
            sum[2] += column[1];
            sum[3] += column[0];
        }
    }
    std::fill(m_bgrColumns.begin(), m_bgrColumns.end(), quint16(0));
    m_bgrRows = 0;
}

void BlockAverager::average(int blockRow)
{
    if (m_bgrRows > 0 && m_bgrBlockRow == blockRow)
        flushBgrColumns();
    std::vector<quint32> sums;
    sums.swap(m_sums[size_t(blockRow)]);
    if (sums.empty() || m_means.isNull())
        return;
    QRgb *out = reinterpret_cast<QRgb *>(m_means.scanLine(blockRow));
    const int rows = std::min(m_block.height(), m_size.height() - blockRow * m_block.height());
    // Edge blocks hold fewer pixels; each is the mean of what it holds.
    quint32 count = 0;
    double reciprocal = 0;
    for (int bx = 0; bx < m_blocks.width(); ++bx) {
        const quint32 blockCount = quint32(rows) * quint32(std::min(m_block.width(), m_size.width() - bx * m_block.width()));
        if (blockCount != count) {
            count = blockCount;
            reciprocal = 1.0 / count;
        }
        // (total + count / 2) / count, rounded down, without a division:
        // the nudge is below the smallest fraction, 1 / count, and above
        // the double's error, so the floor is exact.
        const auto mean = [count, reciprocal](quint32 total) {
            return int((double(total) + count / 2) * reciprocal + 1e-9);
        };
        const quint32 *sum = &sums[size_t(bx) * 4];
        out[bx] = qRgba(mean(sum[1]), mean(sum[2]), mean(sum[3]), mean(sum[0]));
    }
}

ReducedPicture BlockAverager::result()
{
    flushBgrColumns();
    // Rows of blocks the pixels did not all reach: the means of what they hold.
    for (int blockRow = 0; blockRow < m_blocks.height(); ++blockRow)
        average(blockRow);
    if (m_means.isNull())
        return {};
    return {m_means, m_size, QSizeF(double(m_size.width()) / m_block.width(), double(m_size.height()) / m_block.height())};
}

namespace {

// The picture turned as its orientation tag says, as Qt's readers turn it.
QImage oriented(QImage image, QImageIOHandler::Transformations orientation)
{
    if (orientation == QImageIOHandler::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    image = image.mirrored(orientation & QImageIOHandler::TransformationMirror,
                           orientation & QImageIOHandler::TransformationFlip);
    if (orientation & QImageIOHandler::TransformationRotate90)
        image = image.transformed(QTransform().rotate(90));
    return image;
}

} // namespace

ReducedPicture orientedReduction(QImage image, QSize stored, QSizeF storedExtent,
                                 QImageIOHandler::Transformations orientation)
{
    // The last column and row of the pixels may stand for less than a whole
    // pixel's share. Turning the picture may move them to the first column
    // or row, which an extent cannot say: that side is then counted whole.
    struct Axis
    {
        double extent;
        bool partAtEnd;
    };
    Axis across{storedExtent.width(), true};
    Axis down{storedExtent.height(), true};
    if (orientation & QImageIOHandler::TransformationMirror)
        across.partAtEnd = !across.partAtEnd;
    if (orientation & QImageIOHandler::TransformationFlip)
        down.partAtEnd = !down.partAtEnd;
    if (orientation & QImageIOHandler::TransformationRotate90) {
        // Turned clockwise: the columns come from the rows read bottom up,
        // the rows from the columns.
        std::swap(across, down);
        across.partAtEnd = !across.partAtEnd;
    }
    QImage turned = oriented(std::move(image), orientation);
    const QSize natural = orientation & QImageIOHandler::TransformationRotate90 ? stored.transposed() : stored;
    const QSizeF extent(across.partAtEnd ? across.extent : turned.width(), down.partAtEnd ? down.extent : turned.height());
    return {std::move(turned), natural, extent};
}
