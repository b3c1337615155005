// TIFF pictures, their first page: the size from its tags, big ones read
// reduced through libtiff a strip or a tile at a time (tiffregions.cpp),
// the rest by Qt's reader, or by libtiff when Qt's reader does not take
// their samples. libtiff reads the device itself and prints nothing.

#include "formatrows.h"
#include "picturelimits.h"
#include "qtdecode.h"
#include "tiffformat.h"
#include "tiffpage.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>

namespace {

// Where libtiff reads: the device, offsets counted from where the file
// starts in it.
struct TiffSource
{
    QIODevice *device;
    qint64 start;
};

// libtiff reads the device through these, offsets counted from where the
// file starts in it.
tmsize_t readBytes(thandle_t handle, void *buffer, tmsize_t size)
{
    auto *source = static_cast<TiffSource *>(handle);
    return tmsize_t(source->device->read(static_cast<char *>(buffer), qint64(size)));
}

tmsize_t writeNothing(thandle_t, void *, tmsize_t)
{
    return -1;
}

toff_t seekTo(thandle_t handle, toff_t offset, int whence)
{
    auto *source = static_cast<TiffSource *>(handle);
    const qint64 size = source->device->size();
    // A move back comes as a huge unsigned offset.
    const qint64 move = qint64(offset);
    qint64 base = source->start;
    if (whence == SEEK_CUR)
        base = source->device->pos();
    else if (whence == SEEK_END)
        base = size;
    if (move > size || move < -size || base + move < source->start || !source->device->seek(base + move))
        return toff_t(-1);
    return toff_t(base + move - source->start);
}

int closeNothing(thandle_t)
{
    return 0;
}

toff_t sizeOf(thandle_t handle)
{
    auto *source = static_cast<TiffSource *>(handle);
    return toff_t(source->device->size() - source->start);
}

int mapNothing(thandle_t, void **, toff_t *)
{
    return 0;
}

void unmapNothing(thandle_t, void *, toff_t)
{
}

// Errors and warnings are handled here, which keeps libtiff from printing
// them: a failed read is reported by its result.
int keepQuiet(TIFF *, void *, const char *, const char *, va_list)
{
    return 1;
}

// libtiff's handlers for the whole process print to stderr, also for Qt's
// reader, which uses the same libtiff: they are turned off once, before the
// first TIFF is read by either.
void silenceLibtiff()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

// The size of the file an open TIFF is read from, counted from where it
// starts in the device.
quint64 tiffFileSize(TIFF *tiff)
{
    return sizeOf(TIFFClientdata(tiff));
}

// A TIFF open on the device, closed and the device put back when it goes.
class OpenTiff
{
public:
    explicit OpenTiff(QIODevice &device);
    ~OpenTiff();
    OpenTiff(const OpenTiff &) = delete;
    OpenTiff &operator=(const OpenTiff &) = delete;
    TIFF *get() const { return m_tiff; }

private:
    TiffSource m_source;
    TIFF *m_tiff = nullptr;
};

OpenTiff::OpenTiff(QIODevice &device)
    : m_source{&device, device.pos()}
{
    silenceLibtiff();
    if (device.isSequential() || !looksLikeTiff(device.peek(4)))
        return;
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, keepQuiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, keepQuiet, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, largestAllocation);
    m_tiff = TIFFClientOpenExt("picture", "rm", &m_source, readBytes, writeNothing, seekTo, closeNothing, sizeOf,
                               mapNothing, unmapNothing, options);
    TIFFOpenOptionsFree(options);
}

OpenTiff::~OpenTiff()
{
    if (m_tiff)
        TIFFClose(m_tiff);
    m_source.device->seek(m_source.start);
}

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

class TiffReader : public FormatReader
{
public:
    explicit TiffReader(QIODevice &device)
    {
        claim(tiffClaimedSize(device).value_or(QSize()));
    }

    // Reading costs more than summing, as for a PNG (pngformat.cpp).
    std::optional<Picture> readReduced(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        return pictureOf(readReducedTiff(device, readerDrawSize(claimedSize(), drawSize, detail, 6, 16)));
    }

    // By Qt's reader; one whose samples it does not take (10, 12 or 32
    // bits, floating point) by libtiff, whole.
    PictureLoad decodeWhole(QIODevice &device, QSize, DrawDetail) override
    {
        QtReadSteps steps;
        steps.qtFormat = "tiff";
        steps.whenUnread = [pixels = pixelsOf(claimedSize())](QIODevice &file) -> std::optional<Picture> {
            const BigDecodeTurn turn(pixels);
            QImage image = readWholeTiff(file);
            if (image.isNull())
                return std::nullopt;
            return Picture(std::move(image));
        };
        return decodeWithQt(device, {}, steps);
    }
};

} // namespace

bool isTiff(QIODevice &, const QByteArray &head)
{
    return looksLikeTiff(head.left(4));
}

std::unique_ptr<FormatReader> openTiffReader(QIODevice &device, const QByteArray &)
{
    return std::make_unique<TiffReader>(device);
}

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
