#include "tifffile.h"

#include "tiffdevice.h"

#include <QtEndian>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

#include <tiffio.h>

namespace {

// What the first page's tags say about its pixels.
struct TiffPage
{
    QSize size; // as stored
    int bits = 0;
    int samples = 0;
    int photometric = -1;
    int sampleFormat = SAMPLEFORMAT_UINT;
    int alpha = EXTRASAMPLE_UNSPECIFIED;
    bool separatePlanes = false;
    int orientation = ORIENTATION_TOPLEFT;
    QSize region; // a strip's or a tile's pixels

    bool greyOrIndexed() const
    {
        return samples == 1
               && (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE
                   || photometric == PHOTOMETRIC_PALETTE);
    }
    // The orientation tag counts as the EXIF one does.
    QImageIOHandler::Transformations turn() const
    {
        static const QImageIOHandler::Transformations turns[] = {
            QImageIOHandler::TransformationNone,         QImageIOHandler::TransformationMirror,
            QImageIOHandler::TransformationRotate180,    QImageIOHandler::TransformationFlip,
            QImageIOHandler::TransformationFlipAndRotate90, QImageIOHandler::TransformationRotate90,
            QImageIOHandler::TransformationMirrorAndRotate90, QImageIOHandler::TransformationRotate270};
        return turns[orientation - 1];
    }
    QSize shownSize() const { return turn() & QImageIOHandler::TransformationRotate90 ? size.transposed() : size; }
};

template<typename T>
T tagDefaulted(TIFF *tiff, ttag_t tag)
{
    T value{};
    TIFFGetFieldDefaulted(tiff, tag, &value);
    return value;
}

// Whether every strip or tile lies within the file: a header may claim
// data that is not there, and nothing is allocated for it.
bool holdsItsData(TIFF *tiff)
{
    const quint64 size = tiffFileSize(tiff);
    // Counted for every plane when the planes are stored apart.
    const quint32 count = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    for (quint32 i = 0; i < count; ++i) {
        int failed = 0;
        const quint64 offset = TIFFGetStrileOffsetWithErr(tiff, i, &failed);
        const quint64 bytes = TIFFGetStrileByteCountWithErr(tiff, i, &failed);
        if (failed || offset > size || bytes > size - offset)
            return false;
    }
    return true;
}

std::optional<TiffPage> pageOf(TIFF *tiff)
{
    quint32 width = 0;
    quint32 height = 0;
    if (!tiff || !TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height)
        || width == 0 || height == 0 || width > INT_MAX || height > INT_MAX)
        return std::nullopt;
    TiffPage page;
    page.size = QSize(int(width), int(height));
    page.bits = tagDefaulted<quint16>(tiff, TIFFTAG_BITSPERSAMPLE);
    page.samples = tagDefaulted<quint16>(tiff, TIFFTAG_SAMPLESPERPIXEL);
    page.sampleFormat = tagDefaulted<quint16>(tiff, TIFFTAG_SAMPLEFORMAT);
    page.separatePlanes = tagDefaulted<quint16>(tiff, TIFFTAG_PLANARCONFIG) == PLANARCONFIG_SEPARATE;
    quint16 photometric = 0;
    if (TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric))
        page.photometric = photometric;
    const quint16 orientation = tagDefaulted<quint16>(tiff, TIFFTAG_ORIENTATION);
    page.orientation = orientation >= 1 && orientation <= 8 ? orientation : ORIENTATION_TOPLEFT;
    quint16 extras = 0;
    quint16 *kinds = nullptr;
    if (TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extras, &kinds) && extras > 0 && kinds)
        page.alpha = kinds[0];
    if (TIFFIsTiled(tiff)) {
        page.region = QSize(int(tagDefaulted<quint32>(tiff, TIFFTAG_TILEWIDTH)),
                            int(tagDefaulted<quint32>(tiff, TIFFTAG_TILELENGTH)));
    } else {
        const quint32 rows = tagDefaulted<quint32>(tiff, TIFFTAG_ROWSPERSTRIP);
        page.region = QSize(page.size.width(), int(std::clamp<quint32>(rows, 1, height)));
    }
    return page;
}

// Whether the page can be read a region at a time: each region small
// enough, and all of them within the file.
bool isReadableInRegions(TIFF *tiff, const TiffPage &page)
{
    return !page.region.isEmpty() && pixelsOf(page.region) * 4 <= regionBytes && holdsItsData(tiff);
}

// Hands each region (strip or tile) of the page, in stored order, as
// premultiplied pixels a row after another.
using RegionSink = std::function<void(QRect region, const QRgb *pixels)>;

// Calls read(region) for each region of the page in stored order, clipped
// to the page, until one fails.
template<typename Read>
bool readEachRegion(const TiffPage &page, Read read)
{
    for (int y = 0; y < page.size.height(); y += page.region.height())
        for (int x = 0; x < page.size.width(); x += page.region.width())
            if (!read(QRect(QPoint(x, y), page.region).intersected(QRect(QPoint(0, 0), page.size))))
                return false;
    return true;
}

// libtiff's own conversion to 8-bit RGBA: every photometric kind, palette,
// YCbCr and CMYK, 1 to 16 bits a sample, contiguous or separate planes,
// alpha premultiplied.
bool readThroughRgba(TIFF *tiff, const TiffPage &page, const RegionSink &sink)
{
    char message[1024];
    TIFFRGBAImage image;
    if (!TIFFRGBAImageOK(tiff, message) || !TIFFRGBAImageBegin(&image, tiff, 1, message))
        return false;
    // The rows as stored: the picture is turned afterwards.
    image.req_orientation = image.orientation;
    std::vector<quint32> raster(size_t(pixelsOf(page.region)));
    const bool ok = readEachRegion(page, [&](QRect region) {
        image.row_offset = region.y();
        image.col_offset = region.x();
        if (!TIFFRGBAImageGet(&image, raster.data(), quint32(region.width()), quint32(region.height())))
            return false;
        // Red in the lowest byte, alpha in the highest: QRgb has red and
        // blue the other way round.
        const qint64 count = pixelsOf(region.size());
        for (qint64 i = 0; i < count; ++i) {
            const quint32 p = raster[size_t(i)];
            raster[size_t(i)] = (p & 0xFF00FF00u) | ((p & 0xFF) << 16) | ((p >> 16) & 0xFF);
        }
        sink(region, reinterpret_cast<const QRgb *>(raster.data()));
        return true;
    });
    TIFFRGBAImageEnd(&image);
    return ok;
}

// Grey or RGB samples libtiff's conversion leaves: whole numbers of 8 to 32
// bits, or 32-bit floating point, with an alpha sample after them.
struct RawSamples
{
    int colours = 0; // 1 or 3
    int samples = 0; // in a pixel
    int bits = 0;
    bool floating = false;
    bool whiteIsZero = false;
    int alpha = EXTRASAMPLE_UNSPECIFIED;
    bool separatePlanes = false;

    // The level (0 to 255) of sample `index` of a row.
    int levelAt(const uchar *row, qint64 index) const
    {
        if (bits == 8)
            return row[index];
        if (floating) {
            float value;
            std::memcpy(&value, row + 4 * index, 4);
            return std::isnan(value) ? 0 : int(std::lround(std::clamp(value, 0.0f, 1.0f) * 255));
        }
        const quint64 largest = (quint64(1) << bits) - 1;
        return int((wholeAt(row, index) * 255 + largest / 2) / largest);
    }

private:
    // Samples of 16, 24 and 32 bits come in the host's order; others are
    // packed most significant bit first.
    quint64 wholeAt(const uchar *row, qint64 index) const
    {
        if (bits == 16)
            return qFromUnaligned<quint16>(row + 2 * index);
        if (bits == 32)
            return qFromUnaligned<quint32>(row + 4 * index);
        if (bits == 24) {
            const uchar *at = row + 3 * index;
            return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? at[0] | at[1] << 8 | quint32(at[2]) << 16
                                                                 : quint32(at[0]) << 16 | at[1] << 8 | at[2];
        }
        const qint64 first = index * bits;
        quint64 window = 0;
        for (qint64 byte = first / 8; byte <= (first + bits - 1) / 8; ++byte)
            window = window << 8 | row[byte];
        const qint64 end = ((first + bits - 1) / 8 + 1) * 8;
        return (window >> (end - first - bits)) & ((quint64(1) << bits) - 1);
    }
};

std::optional<RawSamples> rawSamplesOf(const TiffPage &page)
{
    RawSamples raw;
    raw.colours = page.photometric == PHOTOMETRIC_RGB ? 3 : 1;
    raw.samples = page.samples;
    raw.bits = page.bits;
    raw.floating = page.sampleFormat == SAMPLEFORMAT_IEEEFP;
    raw.whiteIsZero = page.photometric == PHOTOMETRIC_MINISWHITE;
    raw.alpha = page.samples > raw.colours ? page.alpha : EXTRASAMPLE_UNSPECIFIED;
    raw.separatePlanes = page.separatePlanes;
    const bool knownKind = page.photometric == PHOTOMETRIC_RGB || page.photometric == PHOTOMETRIC_MINISBLACK
                           || page.photometric == PHOTOMETRIC_MINISWHITE;
    const bool whole = page.sampleFormat == SAMPLEFORMAT_UINT || page.sampleFormat == SAMPLEFORMAT_VOID;
    const bool knownSamples = raw.floating ? page.bits == 32 : whole && page.bits >= 8 && page.bits <= 32;
    if (!knownKind || !knownSamples || page.samples < raw.colours)
        return std::nullopt;
    return raw;
}

// The pixel at sample `index` of each plane's row: grey or colour, and its
// alpha where it has one, premultiplied.
QRgb pixelAt(const RawSamples &raw, const uchar *const *rows, qint64 x)
{
    const auto level = [&](int sample) {
        return raw.separatePlanes ? raw.levelAt(rows[sample], x) : raw.levelAt(rows[0], x * raw.samples + sample);
    };
    int red = level(0);
    int green = raw.colours == 3 ? level(1) : red;
    int blue = raw.colours == 3 ? level(2) : red;
    if (raw.whiteIsZero)
        red = green = blue = 255 - red;
    if (raw.alpha == EXTRASAMPLE_UNASSALPHA)
        return qPremultiply(qRgba(red, green, blue, level(raw.colours)));
    if (raw.alpha == EXTRASAMPLE_ASSOCALPHA) {
        const int alpha = level(raw.colours);
        return qRgba(std::min(red, alpha), std::min(green, alpha), std::min(blue, alpha), alpha);
    }
    return qRgb(red, green, blue);
}

// Reads each region's samples as stored and turns them into pixels.
bool readRawSamples(TIFF *tiff, const TiffPage &page, const RawSamples &raw, const RegionSink &sink)
{
    const bool tiled = TIFFIsTiled(tiff);
    const tmsize_t stride = tiled ? TIFFTileRowSize(tiff) : TIFFScanlineSize(tiff);
    const tmsize_t size = tiled ? TIFFTileSize(tiff) : TIFFStripSize(tiff);
    const int planes = raw.separatePlanes ? raw.samples : 1;
    if (stride <= 0 || size <= 0 || size > largestAllocation / planes)
        return false;
    std::vector<std::vector<uchar>> stored(static_cast<size_t>(planes), std::vector<uchar>(static_cast<size_t>(size)));
    std::vector<QRgb> pixels(size_t(pixelsOf(page.region)));
    std::vector<const uchar *> rows(static_cast<size_t>(planes));
    return readEachRegion(page, [&](QRect region) {
        for (int plane = 0; plane < planes; ++plane) {
            uchar *buffer = stored[size_t(plane)].data();
            const quint32 x = quint32(region.x());
            const quint32 y = quint32(region.y());
            const tmsize_t read = tiled ? TIFFReadEncodedTile(tiff, TIFFComputeTile(tiff, x, y, 0, quint16(plane)), buffer, size)
                                        : TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, y, quint16(plane)), buffer, size);
            if (read < stride * region.height())
                return false;
        }
        for (int y = 0; y < region.height(); ++y) {
            for (int plane = 0; plane < planes; ++plane)
                rows[size_t(plane)] = stored[size_t(plane)].data() + stride * y;
            QRgb *out = pixels.data() + qint64(y) * region.width();
            for (int x = 0; x < region.width(); ++x)
                out[x] = pixelAt(raw, rows.data(), x);
        }
        sink(region, pixels.data());
        return true;
    });
}

bool readRegions(TIFF *tiff, const TiffPage &page, const RegionSink &sink)
{
    char message[1024];
    if (TIFFRGBAImageOK(tiff, message))
        return readThroughRgba(tiff, page, sink);
    const std::optional<RawSamples> raw = rawSamplesOf(page);
    return raw && readRawSamples(tiff, page, *raw, sink);
}

} // namespace

std::optional<QSize> tiffClaimedSize(QIODevice &device)
{
    if (!looksLikeTiff(device.peek(4)))
        return std::nullopt;
    const OpenTiff tiff(device);
    const std::optional<TiffPage> page = pageOf(tiff.get());
    if (!page)
        return std::nullopt;
    return page->shownSize();
}

ReducedPicture readReducedTiff(QIODevice &device, QSize drawSize, qint64 wholeDecodeLimit)
{
    if (!looksLikeTiff(device.peek(4)))
        return {};
    const OpenTiff tiff(device);
    const std::optional<TiffPage> page = pageOf(tiff.get());
    if (!page || !isReadableInRegions(tiff.get(), *page))
        return {};
    // Qt's reader decodes what libtiff's conversion to RGBA takes, in
    // pixels of its own; the rest is decoded whole at 32 bits a pixel. The
    // blocks are chosen for the picture as stored, which may be the shown
    // picture turned a quarter.
    char message[1024];
    const bool forQt = TIFFRGBAImageOK(tiff.get(), message);
    const bool quarter = page->turn() & QImageIOHandler::TransformationRotate90;
    const QSize block = streamingBlock(page->size, quarter ? drawSize.transposed() : drawSize, forQt ? page->bits : 8,
                                       forQt && page->greyOrIndexed(), wholeDecodeLimit);
    if (!block.isValid())
        return {};
    BlockAverager blocks(page->size, block);
    const bool read = readRegions(tiff.get(), *page, [&blocks](QRect region, const QRgb *pixels) {
        for (int y = 0; y < region.height(); ++y)
            blocks.addRowPart(region.y() + y, region.x(), pixels + qint64(y) * region.width(), region.width());
    });
    if (!read)
        return {};
    ReducedPicture reduced = blocks.result();
    return orientedReduction(std::move(reduced.image), page->size, reduced.extent, page->turn());
}

QImage readWholeTiff(QIODevice &device)
{
    const OpenTiff tiff(device);
    const std::optional<TiffPage> page = pageOf(tiff.get());
    if (!page || !isReadableInRegions(tiff.get(), *page))
        return {};
    QImage image(page->size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(Qt::transparent);
    const bool read = readRegions(tiff.get(), *page, [&image](QRect region, const QRgb *pixels) {
        for (int y = 0; y < region.height(); ++y)
            std::memcpy(image.scanLine(region.y() + y) + 4 * qint64(region.x()), pixels + qint64(y) * region.width(),
                        size_t(region.width()) * 4);
    });
    if (!read)
        return {};
    return orientedReduction(std::move(image), page->size, QSizeF(page->size), page->turn()).image;
}
