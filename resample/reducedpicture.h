#pragma once

#include "picture.h"
#include "picturelimits.h"

#include <QIODevice>
#include <QImageIOHandler>
#include <QImage>
#include <QSize>
#include <QSizeF>

#include <algorithm>
#include <array>
#include <vector>

// Big pictures that will only be drawn small are read straight into a
// reduced image: every pixel of the result is the exact average of a block
// of f x f source pixels, f chosen so that the result still has at least
// eight pixels for each pixel of a `drawSize` drawing (the readers are
// given a smaller drawing when less detail will do: readerDrawSize below). Rows are summed as
// they are decoded, so a huge picture never sits in memory whole.
//
// The readers leave the device where they found it. They give a null image
// when the file is a kind they leave to Qt's readers, is too small to be
// worth reducing, or is damaged or cut short: Qt's reader then takes it, and
// behaves as it always does.
struct ReducedPicture
{
    QImage image;
    QSize naturalSize;
    // The picture's size in reduced pixels: the last column and row of blocks
    // may be partial, and then cover only part of a reduced pixel.
    QSizeF extent;
};

// The blocks a PNG or TIFF of `size` with `bitsPerSample` bits a sample
// (grey levels or palette indexes when `greyOrIndexed`) is read in for a
// drawing of `drawSize`, when Qt's reader would take more than
// `wholeDecodeLimit` bytes to decode it whole; invalid when it is left to
// Qt's reader.
QSize streamingBlock(QSize size, QSize drawSize, int bitsPerSample, bool greyOrIndexed, qint64 wholeDecodeLimit);

// A reduced picture turned as `orientation` says, as Qt's readers turn a
// picture: `image` holds the picture of `stored` pixels as stored, of which
// it covers `storedExtent` (its last column and row may be partial).
ReducedPicture orientedReduction(QImage image, QSize stored, QSizeF storedExtent,
                                 QImageIOHandler::Transformations orientation);

// The drawing size the reduced readers are given, which keep eight pixels
// for each pixel of it: the part of the drawing a picture of `size` covers,
// scaled for them to keep `fineDetail` pixels for each pixel instead, or
// `lightDetail` at the light detail.
inline QSize readerDrawSize(QSize size, QSize drawSize, DrawDetail detail, int lightDetail, int fineDetail = 8)
{
    if (!size.isValid() || !drawSize.isValid())
        return drawSize;
    const int perPixel = detail == DrawDetail::Fine ? fineDetail : lightDetail;
    const QSize fitted = size.scaled(drawSize, Qt::KeepAspectRatio);
    return QSize(std::max(1, fitted.width() * perPixel / 8), std::max(1, fitted.height() * perPixel / 8));
}

// Pictures of more pixels than this that are too thin for square blocks (a
// 20,000,000 x 2 bitmap) are reduced with blocks of another shape; smaller
// ones are decoded whole, which costs little.
constexpr qint64 unevenBlocksPixels = 4'000'000;
// A block's sum of 8-bit channels stays within 32 bits.
constexpr qint64 maximumBlockPixels = 0xFFFFFFFFu / 255;

// The blocks a picture of `size` drawn at `drawSize` is reduced in: square,
// as many pixels a side as leave eight for each drawn pixel along the
// shorter way; or, for a big picture too thin for that, each side reduced
// on its own. 1 x 1 means reducing is not worth it.
QSize reductionBlock(QSize size, QSize drawSize);

// Sums whole rows of pixels into blocks and gives their means. A row is
// summed block by block, each block's part in one 64-bit register that holds
// the four channels in 16-bit lanes, so a pixel costs one addition. A row
// of blocks is averaged as soon as every pixel of it has been added, and
// its sums let go: the memory is that of the means and of the rows of
// blocks still being filled, however the pixels come (in order, bottom up,
// a tile at a time, a pass at a time).
class BlockAverager
{
public:
    BlockAverager(QSize size, QSize block);
    // A row of premultiplied pixels.
    void addRow(int y, const QRgb *pixels);
    // Part of such a row, pixels `x` to `x + count`: a row of a tile.
    void addRowPart(int y, int x, const QRgb *pixels, int count);
    // Pixels `x`, `x + step`, `x + 2 step` ... of row y: a row of one pass
    // of an interlaced picture.
    void addSpacedPixels(int y, int x, int step, const QRgb *pixels, int count);
    // The palette of the indexed rows that follow: 256 premultiplied colours.
    void setPalette(const QRgb *palette);
    // A row of palette indexes.
    void addIndexedRow(int y, const uchar *indexes);
    // A row of opaque pixels stored blue, green, red, with a spare fourth
    // byte when `bytesPerPixel` is 4. Rows of one row of blocks should come
    // one after another: they are summed byte by byte into columns first,
    // which takes a fraction of a cycle a byte.
    void addBgrRow(int y, const uchar *pixels, int bytesPerPixel);
    // Part of such a row, pixels `x` to `x + count`, added straight into the
    // blocks: for rows too wide to sum into columns first.
    void addBgrPixels(int y, int x, const uchar *pixels, int count, int bytesPerPixel);
    ReducedPicture result();
    QSize size() const { return m_size; }

private:
    // Adds lanes(x), pixel x of row y spread into the four lanes, for
    // pixels `from` to `to` of the row.
    template<typename Lanes>
    void accumulate(int y, int from, int to, Lanes lanes);
    // The sums of the row of blocks that holds row y.
    quint32 *sumsOf(int y);
    // Counts `count` more pixels of row y, and averages its row of blocks
    // once it has them all.
    void added(int y, qint64 count);
    void average(int blockRow);
    // Adds the column sums of blue, green, red rows into their blocks.
    void flushBgrColumns();

    QSize m_size;
    QSize m_block;
    QSize m_blocks;
    QImage m_means;
    // Alpha, red, green, blue per block, for each row of blocks being filled.
    std::vector<std::vector<quint32>> m_sums;
    std::vector<qint64> m_added; // pixels of each row of blocks summed so far
    std::array<quint64, 256> m_palette{}; // each colour spread into lanes
    std::vector<quint16> m_bgrColumns; // each byte of a row, summed down
    int m_bgrBytesPerPixel = 3;
    int m_bgrBlockRow = -1;
    int m_bgrRows = 0;
};
