#include "iconimages.h"

#include "iconrecords.h"
#include "pictureprobe.h"
#include "picturelimits.h"

#include <QImageReader>

#include <algorithm>

#include <optional>

void applyIconMask(QIODevice &file, qint64 start, int index, QImage &image)
{
    if (!file.seek(start))
        return;
    const QByteArray bytes = file.read(4 * 1024 * 1024);
    const IconDirRecord dir = iconDirAt(bytes);
    if (bytes.size() < iconEntryOffset(index + 1) || dir.idType != 1 || dir.idCount <= index)
        return;
    const qint64 offset = iconEntryAt(bytes, iconEntryOffset(index)).dwImageOffset;
    const BitmapInfoHeader header = bitmapInfoHeaderAt(bytes, offset);
    const qint64 width = header.biWidth;
    const qint64 height = header.biHeight / 2;
    if (offset + BitmapInfoHeader::size > bytes.size() || header.biSize != BitmapInfoHeader::size
        || header.biBitCount >= 32 || header.biBitCount == 0 || width != image.width() || height != image.height())
        return;
    const IconBitmapLayout layout = iconBitmapLayout(header, width, height);
    const qint64 maskStart = offset + BitmapInfoHeader::size + layout.maskOffset();
    if (offset + BitmapInfoHeader::size + layout.bytes() > bytes.size())
        return;
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom-up, leftmost pixel in the highest bit.
        const uchar *maskRow = reinterpret_cast<const uchar *>(bytes.constData()) + maskStart
                               + layout.maskRowBytes * (height - 1 - y);
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            if (maskRow[x / 8] & (0x80 >> (x % 8)))
                line[x] = 0;
    }
}

namespace {

// A 32-bit bitmap image of an icon with its alpha exactly as stored: Qt's
// reader gives it premultiplied, which rounds the colours of see-through
// pixels. Nothing when the image is stored another way, or has no alpha at
// all (old icons leave it zero and rely on the mask).
std::optional<QImage> storedStraightPixels(const QByteArray &bytes, int index, QSize size)
{
    const qint64 offset = iconEntryAt(bytes, iconEntryOffset(index)).dwImageOffset;
    const BitmapInfoHeader header = bitmapInfoHeaderAt(bytes, offset);
    if (offset + BitmapInfoHeader::size > bytes.size() || header.biSize != BitmapInfoHeader::size
        || header.biBitCount != 32 || header.biCompression != 0 || QSize(header.biWidth, header.biHeight / 2) != size)
        return std::nullopt;
    const IconBitmapLayout layout = iconBitmapLayout(header, size.width(), size.height());
    const qint64 pixels = offset + BitmapInfoHeader::size + layout.paletteBytes;
    if (pixels + layout.colourRowBytes * size.height() > bytes.size())
        return std::nullopt;
    QImage image(size, QImage::Format_ARGB32);
    bool anyAlpha = false;
    for (int y = 0; y < size.height(); ++y) {
        // Rows are stored bottom-up, each pixel blue, green, red, alpha.
        const uchar *row = reinterpret_cast<const uchar *>(bytes.constData()) + pixels
                           + layout.colourRowBytes * (size.height() - 1 - y);
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            line[x] = qRgba(row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]);
            anyAlpha = anyAlpha || row[4 * x + 3] != 0;
        }
    }
    if (!anyAlpha)
        return std::nullopt;
    return image;
}

} // namespace

namespace {

// Which images of the icon to read: all, or the one of each size whose
// entry gives the most bits per pixel (the first of those). Sizes are
// those the images' own headers give.
std::vector<int> chosenImages(QImageReader &reader, const QByteArray &bytes, int count, bool oneEachSize)
{
    std::vector<int> chosen;
    std::vector<QSize> sizes;
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i))
            break;
        const QSize size = reader.size();
        const auto same = std::find(sizes.begin(), sizes.end(), size);
        if (!oneEachSize || same == sizes.end()) {
            chosen.push_back(i);
            sizes.push_back(size);
            continue;
        }
        const int kept = chosen[size_t(same - sizes.begin())];
        const auto bitsOf = [&](int image) { return iconEntryAt(bytes, iconEntryOffset(image)).wBitCount; };
        if (bitsOf(i) > bitsOf(kept))
            chosen[size_t(same - sizes.begin())] = i;
    }
    return chosen;
}

} // namespace

IconImagesLoad readIconImages(QIODevice &device, IconImageChoice choice)
{
    const qint64 start = device.pos();
    const QByteArray bytes = device.peek(16 * 1024 * 1024);
    QImageReader reader(&device, "ico");
    reader.setAutoDetectImageFormat(false);
    IconImagesLoad load;
    const int count = reader.canRead() ? reader.imageCount() : 0;
    qint64 pixels = 0;
    for (int i : chosenImages(reader, bytes, count, choice == IconImageChoice::OneEachSize)) {
        // An image's own header (a PNG's) may claim more than its entry, and
        // a directory may list one image many times.
        const QSize size = reader.jumpToImage(i) ? reader.size() : QSize();
        pixels += pixelsOf(size);
        if (isTooLarge(size, bigDecodePixels) || pixels > maximumFullDecodePixels) {
            load.failure = Failure{Failure::Kind::TooLarge, QStringLiteral("the icon's images are too large")};
            break;
        }
        QImage image = reader.read();
        if (image.isNull()) {
            load.failure = Failure{Failure::Kind::NotAPicture,
                                   QStringLiteral("image %1 of the icon cannot be read (%2)").arg(i + 1).arg(reader.errorString())};
            break;
        }
        applyIconMask(device, start, i, image);
        if (std::optional<QImage> straight = storedStraightPixels(bytes, i, image.size()))
            image = std::move(*straight);
        load.images.push_back(std::move(image));
    }
    device.seek(start);
    if (load.failure)
        load.images.clear();
    return load;
}
