// A JPEG decoded by libjpeg at a fraction of its size, straight into 32-bit
// pixels: the scaled inverse DCT gives each output pixel the mean of its
// share of the picture, so nothing is resampled twice.

#include "reducedpicture.h"

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

// Reads the header and, when the picture is in colours libjpeg turns into
// 32-bit pixels and worth reducing, decodes it into d.image. False on any
// error, or when the picture is left to Qt's reader.
bool decompress(Decode &d, QSize drawSize)
{
    d.info.err = jpeg_std_error(&d.error.pub);
    d.error.pub.error_exit = jumpBack;
    d.error.pub.emit_message = keepQuiet;
    if (setjmp(d.error.jump))
        return false;
    jpeg_create_decompress(&d.info);
    d.created = true;
    d.source.pub.init_source = initSource;
    d.source.pub.fill_input_buffer = fillInputBuffer;
    d.source.pub.skip_input_data = skipInputData;
    d.source.pub.resync_to_restart = jpeg_resync_to_restart;
    d.source.pub.term_source = termSource;
    d.info.src = &d.source.pub;
    jpeg_read_header(&d.info, TRUE);

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

} // namespace

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
