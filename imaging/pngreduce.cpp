// A big PNG read row by row through libpng straight into block averages:
// the memory of a few rows, whatever the picture's size.

#include "reducedpicture.h"

#include "devicereader.h"

#include <QtEndian>

#include <climits>
#include <csetjmp>
#include <memory>
#include <optional>
#include <vector>

#include <png.h>

namespace {

// What the header chunk says, read before libpng is set up: enough to tell
// whether the picture is left to Qt's reader.
struct PngHeader
{
    QSize size;
    int bitDepth = 0;
    int colourType = 0;
};

std::optional<PngHeader> pngHeader(QIODevice &device)
{
    const QByteArray head = device.peek(26);
    if (head.size() < 26 || !head.startsWith("\x89PNG\r\n\x1A\n") || head.mid(12, 4) != "IHDR")
        return std::nullopt;
    const quint32 width = qFromBigEndian<quint32>(head.constData() + 16);
    const quint32 height = qFromBigEndian<quint32>(head.constData() + 20);
    if (width == 0 || height == 0 || width > INT_MAX || height > INT_MAX)
        return std::nullopt;
    return PngHeader{QSize(int(width), int(height)), uchar(head.at(24)), uchar(head.at(25))};
}

// Everything one decode owns, reached through one pointer, so that libpng's
// jump back from an error skips no destructor and leaves nothing in
// registers that is needed afterwards.
struct PngDecode
{
    explicit PngDecode(QIODevice &device)
        : in(device, device.pos())
    {
    }
    png_structp png = nullptr;
    png_infop info = nullptr;
    DeviceReader in;
    std::unique_ptr<BlockAverager> blocks;
    std::vector<QRgb> row; // room for a row of 32-bit pixels
};

// libpng must not return from its error function: it jumps back to the
// decode, which then gives up. Neither errors nor warnings are printed.
void jumpBack(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void keepQuiet(png_structp, png_const_charp)
{
}

void readFromDevice(png_structp png, png_bytep data, size_t length)
{
    auto *decode = static_cast<PngDecode *>(png_get_io_ptr(png));
    if (decode->in.read(data, qint64(length)) != qint64(length))
        png_error(png, "the file ends early");
}

// Premultiplies a row of pixels stored blue, green, red, alpha in place:
// on a little-endian host, each is then a premultiplied QRgb.
QRgb *premultipliedRow(std::vector<QRgb> &row, int count)
{
    for (int x = 0; x < count; ++x)
        row[size_t(x)] = qPremultiply(row[size_t(x)]);
    return row.data();
}

// Sums the rows of a picture stored top to bottom: pixels without alpha as
// they come, three bytes each, pixels with alpha premultiplied.
void sumRows(PngDecode &d, int channels)
{
    const QSize size = d.blocks->size();
    auto *bytes = reinterpret_cast<png_bytep>(d.row.data());
    for (int y = 0; y < size.height(); ++y) {
        png_read_row(d.png, bytes, nullptr);
        if (channels == 3)
            d.blocks->addBgrRow(y, bytes, 3);
        else
            d.blocks->addRow(y, premultipliedRow(d.row, size.width()));
    }
}

// Sums the seven passes of an interlaced picture, each pixel straight into
// its block: no pass needs the rows of another.
void sumPasses(PngDecode &d)
{
    const QSize size = d.blocks->size();
    auto *bytes = reinterpret_cast<png_bytep>(d.row.data());
    for (int pass = 0; pass < 7; ++pass) {
        const int columns = int(PNG_PASS_COLS(png_uint_32(size.width()), pass));
        const int rows = int(PNG_PASS_ROWS(png_uint_32(size.height()), pass));
        if (columns == 0 || rows == 0)
            continue; // libpng skips an empty pass too
        for (int row = 0; row < rows; ++row) {
            png_read_row(d.png, bytes, nullptr);
            d.blocks->addSpacedPixels(int(PNG_ROW_FROM_PASS_ROW(png_uint_32(row), pass)), int(PNG_PASS_START_COL(pass)),
                                      1 << PNG_PASS_COL_SHIFT(pass), premultipliedRow(d.row, columns), columns);
        }
    }
}

// Decodes the picture into d.blocks, made for `block`. False on any error:
// damaged data, the file ending early, or a header libpng refuses. Nothing
// here may own what needs a destructor: an error jumps straight back to the
// setjmp.
bool decode(PngDecode &d, QSize block)
{
    if (setjmp(png_jmpbuf(d.png)))
        return false;
    png_set_read_fn(d.png, &d, readFromDevice);
    png_read_info(d.png, d.info);
    const QSize size(int(png_get_image_width(d.png, d.info)), int(png_get_image_height(d.png, d.info)));
    const bool interlaced = png_get_interlace_type(d.png, d.info) != PNG_INTERLACE_NONE;
    // Whatever it is stored as, each pixel comes as blue, green, red at 8
    // bits, then alpha where it has any (a palette's or a colour's
    // transparency included), or, for the passes, a filler of 255.
    png_set_expand(d.png);
    png_set_scale_16(d.png);
    png_set_gray_to_rgb(d.png);
    png_set_bgr(d.png);
    if (interlaced)
        png_set_filler(d.png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(d.png, d.info);
    const int channels = png_get_channels(d.png, d.info);
    if (channels != 3 && channels != 4)
        return false;
    d.row.resize(size_t(size.width()));
    d.blocks = std::make_unique<BlockAverager>(size, block);
    if (interlaced)
        sumPasses(d);
    else
        sumRows(d, channels);
    return true;
}

ReducedPicture decodeReduced(QIODevice &device, QSize block)
{
    auto d = std::make_unique<PngDecode>(device);
    d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpBack, keepQuiet);
    if (d->png)
        d->info = png_create_info_struct(d->png);
    const bool decoded = d->info && decode(*d, block);
    png_destroy_read_struct(&d->png, &d->info, nullptr);
    return decoded ? d->blocks->result() : ReducedPicture();
}

} // namespace

ReducedPicture readReducedPng(QIODevice &device, QSize drawSize, qint64 wholeDecodeLimit)
{
    if (QSysInfo::ByteOrder != QSysInfo::LittleEndian || device.isSequential())
        return {};
    const std::optional<PngHeader> header = pngHeader(device);
    if (!header)
        return {};
    const bool greyOrIndexed = header->colourType == PNG_COLOR_TYPE_GRAY || header->colourType == PNG_COLOR_TYPE_PALETTE;
    const QSize block = reductionBlock(header->size, drawSize);
    if (!isWorthStreaming(header->size, header->bitDepth, greyOrIndexed, wholeDecodeLimit) || block == QSize(1, 1))
        return {};
    const qint64 start = device.pos();
    ReducedPicture reduced = decodeReduced(device, block);
    device.seek(start);
    return reduced;
}
