// HEIC and AVIF pictures (iPhone photos, web pictures): their boxes walked
// by our own code (heifboxes.h), which refuses what would cost the decoder
// too much before it sees the file; the primary picture then decoded by
// libheif, turned upright as its properties say, its alpha kept, deeper
// samples reduced to 8 bits. Where a small drawing is asked and the file
// holds a thumbnail large enough, the thumbnail is decoded instead.

#include "fileaccess.h"
#include "formatrows.h"
#include "heifboxes.h"
#include "picturelimits.h"
#include "reducedpicture.h"

#include <libheif/heif.h>

#include <memory>
#include <vector>

namespace {

// The file is read whole into memory for the decoder: at most this much.
constexpr qint64 maximumHeifFileBytes = 256 * 1024 * 1024;
// The longest side libheif is let decode; the pixels are held to
// maximumFullDecodePixels before it is asked.
constexpr int maximumHeifSide = 65535;
// At most this many of a picture's thumbnails are looked at.
constexpr int maximumThumbnails = 16;

const QList<QByteArray> avifBrands = {"avif", "avis"};
const QList<QByteArray> heicBrands = {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs", "mif1", "msf1"};

Failure notRead(const QString &why)
{
    return Failure{Failure::Kind::NotAPicture, why};
}

std::optional<Failure> failureOf(heif_error error)
{
    if (error.code == heif_error_Ok)
        return std::nullopt;
    return notRead(QStringLiteral("it cannot be decoded (%1)").arg(QString::fromUtf8(error.message)));
}

struct ContextFree
{
    void operator()(heif_context *context) const { heif_context_free(context); }
};
struct HandleRelease
{
    void operator()(heif_image_handle *handle) const { heif_image_handle_release(handle); }
};
struct ImageRelease
{
    void operator()(heif_image *image) const { heif_image_release(image); }
};
using Handle = std::unique_ptr<heif_image_handle, HandleRelease>;

QSize sizeOf(const heif_image_handle *handle)
{
    return QSize(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
}

// Why the coded pictures cannot be decoded here: a codec this build of
// libheif lacks.
std::optional<Failure> codingRefusal(const QSet<QByteArray> &codings)
{
    for (const QByteArray &coding : codings) {
        const bool hevc = coding == "hvc1";
        if ((hevc || coding == "av01")
            && !heif_have_decoder_for_format(hevc ? heif_compression_HEVC : heif_compression_AV1))
            return notRead(QStringLiteral("the picture is coded in %1, which this build of libheif cannot decode")
                               .arg(hevc ? QStringLiteral("HEVC") : QStringLiteral("AV1")));
    }
    return std::nullopt;
}

// The smallest of the primary picture's thumbnails that keeps the detail
// asked for a drawing of `drawSize` (as many pixels as the reduced readers
// keep: readerDrawSize); none when no thumbnail does.
Handle chosenThumbnail(heif_image_handle *primary, QSize drawSize, DrawDetail detail)
{
    if (!drawSize.isValid() || drawSize.isEmpty())
        return nullptr;
    const QSize needed = readerDrawSize(sizeOf(primary), drawSize, detail, 4) * 8;
    const int count = std::min(heif_image_handle_get_number_of_thumbnails(primary), maximumThumbnails);
    std::vector<heif_item_id> ids(size_t(std::max(count, 0)));
    heif_image_handle_get_list_of_thumbnail_IDs(primary, ids.data(), count);
    Handle best;
    for (const heif_item_id id : ids) {
        heif_image_handle *found = nullptr;
        if (heif_image_handle_get_thumbnail(primary, id, &found).code != heif_error_Ok)
            continue;
        Handle thumbnail(found);
        const QSize size = sizeOf(found);
        if (size.width() >= needed.width() && size.height() >= needed.height() && size.width() < sizeOf(primary).width()
            && (!best || pixelsOf(size) < pixelsOf(sizeOf(best.get()))))
            best = std::move(thumbnail);
    }
    return best;
}

struct Decoded
{
    QImage image;
    std::optional<Failure> failure;
};

// The picture of `handle` decoded, turned and mirrored as its properties
// say (libheif's default), into 8-bit RGB or RGBA.
Decoded decodedImage(heif_image_handle *handle)
{
    const bool alpha = heif_image_handle_has_alpha_channel(handle);
    heif_image *decoded = nullptr;
    const heif_error error = heif_decode_image(handle, &decoded, heif_colorspace_RGB,
                                               alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
    const std::unique_ptr<heif_image, ImageRelease> held(decoded);
    if (std::optional<Failure> failure = failureOf(error))
        return {QImage(), failure};
    int stride = 0;
    const uint8_t *pixels = heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = heif_image_get_height(decoded, heif_channel_interleaved);
    if (!pixels || width <= 0 || height <= 0)
        return {QImage(), notRead(QStringLiteral("it cannot be decoded (libheif gave no pixels)"))};
    const bool premultiplied = alpha && heif_image_handle_is_premultiplied_alpha(handle);
    const QImage view(pixels, width, height, stride,
                      !alpha ? QImage::Format_RGB888
                             : premultiplied ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGBA8888);
    // Converting copies the pixels out of libheif's image before it goes.
    QImage image = view.convertToFormat(!alpha ? QImage::Format_RGB32
                                               : premultiplied ? QImage::Format_ARGB32_Premultiplied : QImage::Format_ARGB32);
    if (image.isNull())
        return {QImage(), Failure{Failure::Kind::TooLarge, QStringLiteral("there is not enough memory to hold it")}};
    return {std::move(image), std::nullopt};
}

// The primary picture of the file in `data`, or its thumbnail chosen for
// a drawing of `drawSize`.
PictureLoad decodedPicture(const QByteArray &data, QSize drawSize, DrawDetail detail)
{
    const std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
    heif_context_set_maximum_image_size_limit(context.get(), maximumHeifSide);
    if (std::optional<Failure> failure = failureOf(
            heif_context_read_from_memory_without_copy(context.get(), data.constData(), size_t(data.size()), nullptr)))
        return {Picture(), failure};
    heif_image_handle *found = nullptr;
    if (std::optional<Failure> failure = failureOf(heif_context_get_primary_image_handle(context.get(), &found)))
        return {Picture(), failure};
    const Handle primary(found);
    const Handle thumbnail = chosenThumbnail(primary.get(), drawSize, detail);
    Decoded decoded = decodedImage(thumbnail ? thumbnail.get() : primary.get());
    if (decoded.failure)
        return {Picture(), decoded.failure};
    return {Picture(std::move(decoded.image), thumbnail ? sizeOf(primary.get()) : QSize()), std::nullopt};
}

class HeifReader : public FormatReader
{
public:
    explicit HeifReader(QIODevice &device)
        : m_layout(walkHeif(device))
    {
        claim(m_layout.stated, maximumHeifSide);
    }

    bool isCutShort(QIODevice &) override { return m_layout.walk == Walk::CutShort; }

    PictureLoad decodeWhole(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        if (m_layout.refusal)
            return {Picture(), m_layout.refusal};
        if (std::optional<Failure> refusal = codingRefusal(m_layout.codings))
            return {Picture(), refusal};
        const qint64 start = device.pos();
        const QByteArray data = readUpTo(device, maximumHeifFileBytes + 1);
        device.seek(start);
        if (data.size() > maximumHeifFileBytes)
            return {Picture(), Failure{Failure::Kind::TooLarge, QStringLiteral("it holds more than %1 MB, more than a "
                                                                               "HEIC or AVIF picture is read from")
                                                                    .arg(maximumHeifFileBytes >> 20)}};
        return decodedPicture(data, drawSize, detail);
    }

private:
    HeifLayout m_layout;
};

} // namespace

namespace {

// Whether the file ends within its file type box, before any brand it
// names is one neither row reads: the reader then finds it cut short.
bool endsWithinFileType(const QByteArray &head)
{
    if (head.size() < 5 || !head.startsWith(QByteArray("\0\0", 2)) || !QByteArray("ftyp").startsWith(head.mid(4, 4)))
        return false;
    const quint32 length = quint32(uchar(head[2]) << 8 | uchar(head[3]));
    return length >= 16 && length > quint32(head.size())
           && (head.size() < 12 || heifBrandsInclude(head, heicBrands + avifBrands));
}

} // namespace

bool isAvif(QIODevice &device, const QByteArray &)
{
    // The brands may run past the first 64 bytes.
    return heifBrandsInclude(device.peek(1024), avifBrands);
}

bool isHeic(QIODevice &device, const QByteArray &)
{
    const QByteArray head = device.peek(1024);
    return (heifBrandsInclude(head, heicBrands) && !heifBrandsInclude(head, avifBrands)) || endsWithinFileType(head);
}

std::unique_ptr<FormatReader> openHeifReader(QIODevice &device, const QByteArray &)
{
    return std::make_unique<HeifReader>(device);
}
