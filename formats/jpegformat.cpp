// JPEG pictures: the segments walked up to the end marker, sequential
// photos decoded by libjpeg at a fraction of their size, straight into
// 32-bit pixels (the scaled inverse DCT gives each output pixel the mean of
// its share of the picture, so nothing is resampled twice), the rest by
// Qt's reader at a reduced scale where it keeps detail enough. The frame
// and scans are walked once for both.

#include "formatrows.h"
#include "jpegstructure.h"
#include "picturelimits.h"
#include "qtdecode.h"
#include "reducedreaders.h"

#include <array>
#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jpeglib.h>

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not
// return: it jumps back to the decode, which then gives up.
struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void jumpBack(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->jump, 1);
}

void keepQuiet(j_common_ptr, int)
{
}

// Feeds libjpeg from a QIODevice, a chunk at a time. At the data's end it
// supplies an end marker, as libjpeg's own sources do; a file cut short has
// been refused before it gets here.
struct DeviceSource
{
    jpeg_source_mgr pub;
    QIODevice *device;
    std::array<JOCTET, 64 * 1024> buffer;
};

void initSource(j_decompress_ptr)
{
}

boolean fillInputBuffer(j_decompress_ptr info)
{
    auto *source = reinterpret_cast<DeviceSource *>(info->src);
    qint64 count = source->device->read(reinterpret_cast<char *>(source->buffer.data()), qint64(source->buffer.size()));
    if (count <= 0) {
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        count = 2;
    }
    source->pub.next_input_byte = source->buffer.data();
    source->pub.bytes_in_buffer = size_t(count);
    return TRUE;
}

void skipInputData(j_decompress_ptr info, long count)
{
    auto *source = reinterpret_cast<DeviceSource *>(info->src);
    while (count > long(source->pub.bytes_in_buffer)) {
        count -= long(source->pub.bytes_in_buffer);
        fillInputBuffer(info);
    }
    if (count > 0) {
        source->pub.next_input_byte += count;
        source->pub.bytes_in_buffer -= size_t(count);
    }
}

void termSource(j_decompress_ptr)
{
}

// Everything one decode owns, reached through one pointer, so that the jump
// back from an error leaves nothing in registers that it needs.
struct Decode
{
    jpeg_decompress_struct info{};
    ErrorManager error{};
    DeviceSource source{};
    QImage image;
    bool created = false;
};

} // namespace

int jpegScaleEighths(QSize stored, QSize drawSize)
{
    const qint64 needWidth = 8 * qint64(std::max(drawSize.width(), 1));
    const qint64 needHeight = 8 * qint64(std::max(drawSize.height(), 1));
    for (int eighths : {1, 2, 4}) {
        if ((qint64(stored.width()) * eighths + 7) / 8 >= needWidth
            && (qint64(stored.height()) * eighths + 7) / 8 >= needHeight)
            return eighths;
    }
    return 0;
}

namespace {

// Makes the decoder and reads the header, keeping the APP1 segments (where
// Exif data is). A libjpeg error jumps back to the caller's setjmp.
void readHeader(Decode &d)
{
    jpeg_create_decompress(&d.info);
    d.created = true;
    d.source.pub.init_source = initSource;
    d.source.pub.fill_input_buffer = fillInputBuffer;
    d.source.pub.skip_input_data = skipInputData;
    d.source.pub.resync_to_restart = jpeg_resync_to_restart;
    d.source.pub.term_source = termSource;
    d.info.src = &d.source.pub;
    jpeg_save_markers(&d.info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&d.info, TRUE);
}

void reportErrorsByJumping(Decode &d)
{
    d.info.err = jpeg_std_error(&d.error.pub);
    d.error.pub.error_exit = jumpBack;
    d.error.pub.emit_message = keepQuiet;
}

// Reads the header and, when the picture is in colours libjpeg turns into
// 32-bit pixels and worth reducing, decodes it into d.image. False on any
// error, or when the picture is left to Qt's reader.
bool decompress(Decode &d, QSize drawSize)
{
    reportErrorsByJumping(d);
    if (setjmp(d.error.jump))
        return false;
    readHeader(d);

    const J_COLOR_SPACE colours = d.info.jpeg_color_space;
    if (colours != JCS_YCbCr && colours != JCS_GRAYSCALE && colours != JCS_RGB)
        return false; // CMYK and the like: Qt's reader converts them
    d.info.scale_num = unsigned(jpegScaleEighths(QSize(int(d.info.image_width), int(d.info.image_height)), drawSize));
    d.info.scale_denom = 8;
    if (d.info.scale_num == 0)
        return false;
    d.info.out_color_space = JCS_EXT_BGRX; // QImage's 32-bit layout on little-endian hosts
    jpeg_start_decompress(&d.info);
    d.image = QImage(int(d.info.output_width), int(d.info.output_height), QImage::Format_RGB32);
    if (d.image.isNull() || d.info.output_components != 4)
        return false;
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = d.image.scanLine(int(d.info.output_scanline));
        jpeg_read_scanlines(&d.info, &row, 1);
    }
    jpeg_finish_decompress(&d.info);
    return true;
}

// Reads a big- or little-endian number of `Size` bytes at `at`; 0 when it
// does not lie whole in the data, as a stream reader gives it.
template<int Size>
quint32 fieldOf(const QByteArray &data, qsizetype at, bool bigEndian)
{
    if (at < 0 || at + Size > data.size())
        return 0;
    quint32 value = 0;
    for (int i = 0; i < Size; ++i)
        value |= quint32(uchar(data[at + i])) << (8 * (bigEndian ? Size - 1 - i : i));
    return value;
}

// The orientation (1 to 8) Exif data gives, read as Qt's JPEG reader reads
// it, so that both turn a photo alike: the APP1 segments one after another,
// "Exif" and a TIFF header, the first orientation tag of up to ten image
// directories, each one later in the data than the one before; 0 when
// there is none, -1 when the data is not as it should be.
int exifOrientation(const QByteArray &data)
{
    constexpr qsizetype tiffStart = 6; // after "Exif\0\0"
    constexpr int maximumDirectories = 10;
    if (!data.startsWith(QByteArray("Exif\0\0", 6)))
        return -1;
    const QByteArray order = data.mid(tiffStart, 2);
    if (order != "II" && order != "MM")
        return -1;
    const bool big = order == "MM";
    if (fieldOf<2>(data, tiffStart + 2, big) != 0x2A)
        return -1;
    qsizetype at = tiffStart + 8; // where a stream reader would be
    quint32 offset = fieldOf<4>(data, tiffStart + 4, big);
    for (int directory = 0; directory < maximumDirectories; ++directory) {
        if (qint64(offset) < at - tiffStart || qint64(offset) + tiffStart >= data.size())
            return -1;
        at = tiffStart + offset;
        const quint32 entries = fieldOf<2>(data, at, big);
        at += 2;
        // An entry is read while all read before it lay in the data; its
        // last two bytes, after the value, are not needed.
        for (quint32 entry = 0; entry < entries && at <= data.size(); ++entry, at += 12) {
            if (fieldOf<2>(data, at, big) != 0x0112)
                continue;
            const quint32 type = fieldOf<2>(data, at + 2, big);
            const quint32 count = fieldOf<4>(data, at + 4, big);
            const quint32 value = fieldOf<2>(data, at + 8, big);
            return count == 1 && type == 3 && value >= 1 && value <= 8 ? int(value) : -1;
        }
        if (at + 4 > data.size())
            return -1;
        offset = fieldOf<4>(data, at, big);
        at += 4;
        if (offset == 0)
            return 0;
    }
    return -1;
}

QImageIOHandler::Transformations transformationOf(int exifOrientation)
{
    switch (exifOrientation) {
    case 2: return QImageIOHandler::TransformationMirror;
    case 3: return QImageIOHandler::TransformationRotate180;
    case 4: return QImageIOHandler::TransformationFlip;
    case 5: return QImageIOHandler::TransformationFlipAndRotate90;
    case 6: return QImageIOHandler::TransformationRotate90;
    case 7: return QImageIOHandler::TransformationMirrorAndRotate90;
    case 8: return QImageIOHandler::TransformationRotate270;
    default: return QImageIOHandler::TransformationNone;
    }
}

} // namespace

JpegHeader readJpegHeader(QIODevice &device)
{
    JpegHeader header;
    if (device.isSequential())
        return header;
    const qint64 start = device.pos();
    auto d = std::make_unique<Decode>();
    d->source.device = &device;
    reportErrorsByJumping(*d);
    if (setjmp(d->error.jump) == 0) {
        readHeader(*d);
        header.stored = QSize(int(d->info.image_width), int(d->info.image_height));
        QByteArray exif;
        for (jpeg_saved_marker_ptr marker = d->info.marker_list; marker; marker = marker->next)
            exif.append(reinterpret_cast<const char *>(marker->data), qsizetype(marker->data_length));
        header.orientation = transformationOf(exif.isEmpty() ? 0 : exifOrientation(exif));
    }
    if (d->created)
        jpeg_destroy_decompress(&d->info);
    device.seek(start);
    return header;
}

ReducedPicture readReducedJpeg(QIODevice &device, QSize drawSize, QImageIOHandler::Transformations orientation)
{
    if (QSysInfo::ByteOrder != QSysInfo::LittleEndian || device.isSequential())
        return {};
    const qint64 start = device.pos();
    auto d = std::make_unique<Decode>();
    d->source.device = &device;
    const bool decoded = decompress(*d, drawSize);
    const QSize stored(int(d->info.image_width), int(d->info.image_height));
    const double scale = d->info.scale_num / 8.0;
    if (d->created)
        jpeg_destroy_decompress(&d->info);
    device.seek(start);
    if (!decoded)
        return {};
    return orientedReduction(std::move(d->image), stored, QSizeF(stored.width() * scale, stored.height() * scale),
                             orientation);
}

namespace {

// How Qt's reader is to decode a JPEG the reduced reader left to it (CMYK,
// damaged, or decoded whole: progressive): at the same scale where one
// keeps detail enough, the size rounded down so that Qt's reader picks
// exactly that scale; and what the decode holds meanwhile, in pixels of
// four bytes, its output and, for a JPEG decoded whole, every coefficient
// of the picture. Or why it is refused: it has too many scans, or holds
// more than the whole-decode limit allows.
QtDecodePlan planJpegDecode(const JpegLayout &layout, QSize stored, QSize drawSize, DrawDetail detail)
{
    QtDecodePlan plan;
    if (layout.scans > maximumJpegScans) {
        plan.refusal = Failure{Failure::Kind::NotAPicture,
                               QStringLiteral("the JPEG has too many scans (more than %1)").arg(maximumJpegScans)};
        return plan;
    }
    const int eighths = stored.isValid() && drawSize.isValid()
                            ? jpegScaleEighths(stored, readerDrawSize(stored, drawSize, detail, 2)) : 0;
    if (eighths > 0)
        plan.scaled = QSize(stored.width() * eighths / 8, stored.height() * eighths / 8);
    plan.heldPixels = pixelsOf(plan.scaled.isValid() ? plan.scaled : stored);
    if (layout.decodedWhole)
        plan.heldPixels += layout.coefficientBytes / 4;
    if ((layout.decodedWhole || !plan.scaled.isValid()) && isTooLarge(stored, maximumFullDecodePixels))
        plan.refusal = tooLargeFailure(stored, maximumFullDecodePixels);
    else if (plan.heldPixels > maximumFullDecodePixels)
        plan.refusal = Failure{Failure::Kind::TooLarge,
                               QStringLiteral("the picture is too large (%1 x %2 pixels, stored in several scans; "
                                              "at most %3 million are held while one is read)")
                                   .arg(stored.width())
                                   .arg(stored.height())
                                   .arg(maximumFullDecodePixels / 1'000'000)};
    return plan;
}

class JpegReader : public FormatReader
{
public:
    bool isCutShort(QIODevice &device) override { return structure(device).cutShort; }

    // A photo at the scale that keeps two pixels for each drawn pixel: at
    // 1/8 each decoded pixel is already the mean of an 8 x 8 block, and
    // finer scales cost decoding time. Its header is read by libjpeg, as
    // Qt's reader reads it, orientation tag included; one that is
    // progressive, too large, or not a picture at all is left to the whole
    // decode.
    std::optional<Picture> readReduced(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        if (!drawSize.isValid())
            return std::nullopt;
        const JpegHeader &read = header(device);
        if (!read.stored.isValid() || read.stored.isEmpty() || isTooLarge(read.stored)
            || structure(device).layout.decodedWhole)
            return std::nullopt;
        return pictureOf(readReducedJpeg(device, readerDrawSize(read.stored, drawSize, detail, 2), read.orientation));
    }

    PictureLoad decodeWhole(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        QtReadSteps steps;
        steps.qtFormat = "jpeg";
        steps.plan = planJpegDecode(structure(device).layout, header(device).stored, drawSize, detail);
        return decodeWithQt(device, {}, steps);
    }

private:
    // The header, and the segments and scans, each read the first time it
    // is asked for, from where the file begins.
    const JpegHeader &header(QIODevice &device)
    {
        if (!m_header)
            m_header = readJpegHeader(device);
        return *m_header;
    }
    const JpegStructure &structure(QIODevice &device)
    {
        if (!m_structure)
            m_structure = walkJpegStructure(device, maximumJpegScans);
        return *m_structure;
    }

    std::optional<JpegHeader> m_header;
    std::optional<JpegStructure> m_structure;
};

} // namespace

bool isJpeg(QIODevice &, const QByteArray &head)
{
    return head.startsWith("\xFF\xD8");
}

std::unique_ptr<FormatReader> openJpegReader(QIODevice &, const QByteArray &)
{
    return std::make_unique<JpegReader>();
}
