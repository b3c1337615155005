// A TIFF page's strips or tiles read one at a time, through libtiff's
// conversion to RGBA or from raw samples of 10, 12, 24 or 32 bits or
// floating point.

#include "tiffpage.h"

#include "picturelimits.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

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

} // namespace

bool readRegions(TIFF *tiff, const TiffPage &page, const RegionSink &sink)
{
    char message[1024];
    if (TIFFRGBAImageOK(tiff, message))
        return readThroughRgba(tiff, page, sink);
    const std::optional<RawSamples> raw = rawSamplesOf(page);
    return raw && readRawSamples(tiff, page, *raw, sink);
}
