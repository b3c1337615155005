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
    const QByteArray directory = file.read(iconEntryOffset(index + 1));
    const IconDirRecord dir = iconDirAt(directory);
    if (directory.size() < iconEntryOffset(index + 1) || (dir.idType != 1 && dir.idType != 2) || dir.idCount <= index)
        return;
    const qint64 offset = iconEntryAt(directory, iconEntryOffset(index)).dwImageOffset;
    if (!file.seek(start + offset))
        return;
    const BitmapInfoHeader header = bitmapInfoHeaderAt(file.read(BitmapInfoHeader::size), 0);
    const qint64 width = header.biWidth;
    const qint64 height = header.biHeight / 2;
    if (header.biSize != BitmapInfoHeader::size || header.biBitCount >= 32 || header.biBitCount == 0
        || width != image.width() || height != image.height())
        return;
    const IconBitmapLayout layout = iconBitmapLayout(header, width, height);
    const qint64 maskBytes = layout.maskRowBytes * height;
    if (!file.seek(start + offset + BitmapInfoHeader::size + layout.maskOffset()))
        return;
    const QByteArray mask = file.read(maskBytes);
    if (mask.size() != maskBytes)
        return;
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom-up, leftmost pixel in the highest bit.
        const uchar *maskRow = reinterpret_cast<const uchar *>(mask.constData()) + layout.maskRowBytes * (height - 1 - y);
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
std::optional<QImage> storedStraightPixels(QIODevice &file, qint64 start, const IconEntryRecord &entry, QSize size)
{
    if (!file.seek(start + entry.dwImageOffset))
        return std::nullopt;
    const BitmapInfoHeader header = bitmapInfoHeaderAt(file.read(BitmapInfoHeader::size), 0);
    if (header.biSize != BitmapInfoHeader::size || header.biBitCount != 32 || header.biCompression != 0
        || QSize(header.biWidth, header.biHeight / 2) != size)
        return std::nullopt;
    const IconBitmapLayout layout = iconBitmapLayout(header, size.width(), size.height());
    const QByteArray stored = file.read(layout.paletteBytes + layout.colourRowBytes * size.height());
    if (stored.size() != layout.paletteBytes + layout.colourRowBytes * size.height())
        return std::nullopt;
    QImage image(size, QImage::Format_ARGB32);
    bool anyAlpha = false;
    for (int y = 0; y < size.height(); ++y) {
        // Rows are stored bottom-up, each pixel blue, green, red, alpha.
        const uchar *row = reinterpret_cast<const uchar *>(stored.constData()) + layout.paletteBytes
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

// How many bits a pixel an image is stored with, from its own header: a
// PNG counts as full colour with alpha. (A cursor's entry holds its hot
// spot where an icon's holds the bits.)
int storedBits(QIODevice &file, qint64 start, const IconEntryRecord &entry)
{
    if (!file.seek(start + entry.dwImageOffset))
        return 0;
    const QByteArray head = file.read(BitmapInfoHeader::size);
    return head.startsWith("\x89PNG") ? 32 : bitmapInfoHeaderAt(head, 0).biBitCount;
}

} // namespace

namespace {

// Which images of the icon to read: all, or the one of each size stored
// with the most bits a pixel (the first of those). Sizes are those the
// images' own headers give.
std::vector<int> chosenImages(QImageReader &reader, QIODevice &file, qint64 start, const QByteArray &directory,
                              int count, bool oneEachSize)
{
    std::vector<int> chosen;
    std::vector<QSize> sizes;
    std::vector<int> bits;
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i))
            break;
        const QSize size = reader.size();
        const int stored = oneEachSize ? storedBits(file, start, iconEntryAt(directory, iconEntryOffset(i))) : 0;
        const auto same = std::find(sizes.begin(), sizes.end(), size);
        if (!oneEachSize || same == sizes.end()) {
            chosen.push_back(i);
            sizes.push_back(size);
            bits.push_back(stored);
        } else if (const size_t kept = size_t(same - sizes.begin()); stored > bits[kept]) {
            chosen[kept] = i;
            bits[kept] = stored;
        }
    }
    file.seek(start);
    return chosen;
}

} // namespace

IconImagesLoad readIconImages(QIODevice &device, IconImageChoice choice)
{
    const qint64 start = device.pos();
    const QByteArray directory = device.peek(iconEntryOffset(65536));
    QImageReader reader(&device, "ico");
    reader.setAutoDetectImageFormat(false);
    IconImagesLoad load;
    const int count = reader.canRead() ? reader.imageCount() : 0;
    qint64 pixels = 0;
    for (int i : chosenImages(reader, device, start, directory, count, choice == IconImageChoice::OneEachSize)) {
        // An image's own header (a PNG's) may claim more than its entry, and
        // a directory may list one image many times.
        const QSize size = reader.jumpToImage(i) ? reader.size() : QSize();
        pixels += pixelsOf(size);
        if (isTooLarge(size, bigDecodePixels) || pixels > maximumFullDecodePixels) {
            load.failure = Failure{Failure::Kind::TooLarge,
                                   QStringLiteral("the icon's images are too large (at most %1 million pixels each and "
                                                  "%2 million in all are read)")
                                       .arg(bigDecodePixels / 1'000'000)
                                       .arg(maximumFullDecodePixels / 1'000'000)};
            break;
        }
        QImage image = reader.read();
        if (image.isNull()) {
            load.failure = Failure{Failure::Kind::NotAPicture,
                                   QStringLiteral("image %1 of the icon cannot be read (%2)").arg(i + 1).arg(reader.errorString())};
            break;
        }
        applyIconMask(device, start, i, image);
        const IconEntryRecord entry = iconEntryAt(directory, iconEntryOffset(i));
        if (std::optional<QImage> straight = storedStraightPixels(device, start, entry, image.size()))
            image = std::move(*straight);
        device.seek(start);
        load.images.push_back(std::move(image));
    }
    device.seek(start);
    if (load.failure)
        load.images.clear();
    return load;
}
