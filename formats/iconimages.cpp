#include "iconimages.h"

#include "icondirectory.h"
#include "picturelimits.h"

#include <QImageReader>

#include <algorithm>
#include <climits>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace {

// The BITMAPINFOHEADER an image begins with, the device left after it;
// nothing when the device cannot go there.
std::optional<BitmapInfoHeader> bitmapHeaderOf(QIODevice &file, qint64 start, const IconEntryRecord &entry)
{
    if (!file.seek(start + entry.dwImageOffset))
        return std::nullopt;
    return bitmapInfoHeaderAt(file.read(BitmapInfoHeader::size), 0);
}

void applyMask(QIODevice &file, qint64 start, const IconEntryRecord &entry, QImage &image)
{
    const qint64 offset = entry.dwImageOffset;
    const std::optional<BitmapInfoHeader> read = bitmapHeaderOf(file, start, entry);
    if (!read)
        return;
    const BitmapInfoHeader &header = *read;
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

// A 32-bit bitmap image of an icon with its alpha exactly as stored: Qt's
// reader gives it premultiplied, which rounds the colours of see-through
// pixels. Nothing when the image is stored another way, or has no alpha at
// all (old icons leave it zero and rely on the mask).
std::optional<QImage> storedStraightPixels(QIODevice &file, qint64 start, const IconEntryRecord &entry, QSize size)
{
    const std::optional<BitmapInfoHeader> read = bitmapHeaderOf(file, start, entry);
    if (!read)
        return std::nullopt;
    const BitmapInfoHeader &header = *read;
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

// One image of the icon, as its entry and its own header give it.
struct DirectoryImage
{
    IconEntryRecord entry;
    QSize size;
    int bits = 0; // a PNG counts as full colour with alpha
    bool png = false;
};

// The images the directory lists, each image's own header read once
// however many entries name its bytes; no more than `count`, the images
// the decoder finds.
std::vector<DirectoryImage> directoryImages(QIODevice &file, qint64 start, const IconDirectory &directory, int count)
{
    std::unordered_map<quint64, IconImageHeader> headers;
    std::vector<DirectoryImage> images;
    for (int i = 0; i < count && size_t(i) < directory.entries.size(); ++i) {
        const IconEntryRecord &entry = directory.entries[size_t(i)];
        auto [known, first] = headers.try_emplace(imageBytesKey(entry));
        if (first && file.seek(start))
            known->second = readIconImageHeader(file, entry);
        const IconImageHeader &header = known->second;
        images.push_back({entry, iconImageSize(entry, header), header.png ? 32 : header.bitsPerPixel, header.png});
    }
    return images;
}

// Which images to read: all, or the one of each size stored with the most
// bits a pixel (the first of those).
std::vector<int> chosenImages(const std::vector<DirectoryImage> &images, bool oneEachSize)
{
    std::vector<int> chosen;
    std::map<std::pair<int, int>, size_t> bySize; // where in `chosen`
    for (int i = 0; i < int(images.size()); ++i) {
        const DirectoryImage &image = images[size_t(i)];
        if (!oneEachSize) {
            chosen.push_back(i);
            continue;
        }
        const auto [kept, first] = bySize.try_emplace({image.size.width(), image.size.height()}, chosen.size());
        if (first)
            chosen.push_back(i);
        else if (image.bits > images[size_t(chosen[kept->second])].bits)
            chosen[kept->second] = i;
    }
    return chosen;
}

// Why the chosen images are not decoded, known before any is: each is
// decoded whole without waiting its turn, so none may be a big decode, and
// all are held at once; and a PNG's decoder goes through every byte its
// entry gives it, so those bytes together may be no more than the file
// holds (only images that share bytes need more).
std::optional<Failure> refusalOf(const std::vector<DirectoryImage> &images, const std::vector<int> &chosen,
                                  qint64 fileBytes)
{
    std::unordered_set<quint64> counted;
    qint64 pixels = 0;
    qint64 pngBytes = 0;
    for (int i : chosen) {
        const DirectoryImage &image = images[size_t(i)];
        if (!counted.insert(imageBytesKey(image.entry)).second)
            continue; // one image, named again
        pixels += pixelsOf(image.size);
        if (isTooLarge(image.size, bigDecodePixels) || pixels > maximumFullDecodePixels)
            return Failure{Failure::Kind::TooLarge,
                           QStringLiteral("the icon's images are too large (at most %1 million pixels each and "
                                          "%2 million in all are read)")
                               .arg(bigDecodePixels / 1'000'000)
                               .arg(maximumFullDecodePixels / 1'000'000)};
        pngBytes += image.png ? qint64(image.entry.dwBytesInRes) : 0;
        if (pngBytes > fileBytes)
            return Failure{Failure::Kind::NotAPicture, QStringLiteral("the icon's images overlap one another")};
    }
    return std::nullopt;
}

// Decodes the chosen images, each stretch of bytes once, with its mask and
// its alpha as stored; or says which cannot be read.
IconImagesLoad decodeChosen(QImageReader &reader, QIODevice &device, qint64 start,
                            const std::vector<DirectoryImage> &images, const std::vector<int> &chosen)
{
    IconImagesLoad load;
    std::unordered_map<quint64, QImage> decoded; // by the bytes an entry names
    for (int i : chosen) {
        const IconEntryRecord &entry = images[size_t(i)].entry;
        auto [known, first] = decoded.try_emplace(imageBytesKey(entry));
        if (first) {
            QImage image = reader.jumpToImage(i) ? reader.read() : QImage();
            if (image.isNull()) {
                load.failure = Failure{Failure::Kind::NotAPicture, QStringLiteral("image %1 of the icon cannot be read (%2)")
                                                                       .arg(i + 1)
                                                                       .arg(reader.errorString())};
                return load;
            }
            applyMask(device, start, entry, image);
            if (std::optional<QImage> straight = storedStraightPixels(device, start, entry, image.size()))
                image = std::move(*straight);
            known->second = std::move(image);
            device.seek(start);
        }
        load.images.push_back(known->second);
    }
    return load;
}

} // namespace

void applyIconMask(QIODevice &file, qint64 start, const IconEntryRecord &entry, QImage &image)
{
    applyMask(file, start, entry, image);
}

IconImagesLoad readIconImages(QIODevice &device, const IconDirectory &directory, IconImageChoice choice)
{
    const qint64 start = device.pos();
    QImageReader reader(&device, "ico");
    reader.setAutoDetectImageFormat(false);
    const int count = reader.canRead() ? reader.imageCount() : 0;
    device.seek(start);
    if (count == 0)
        return {};
    // A file that ends before the images its directory lists is refused,
    // as the icon reader refuses it.
    if (isIconCutShort(device, directory))
        return {{}, Failure::cutShort(), {}};
    const std::vector<DirectoryImage> images = directoryImages(device, start, directory, count);
    const std::vector<int> chosen = chosenImages(images, choice == IconImageChoice::OneEachSize);
    std::optional<Failure> refused = refusalOf(images, chosen, device.size() - start);
    IconImagesLoad load = refused ? IconImagesLoad{{}, std::move(refused), {}} : decodeChosen(reader, device, start, images, chosen);
    device.seek(start);
    if (load.failure)
        load.images.clear();
    else if (directory.cursor())
        for (int i : chosen)
            load.hotSpots.push_back(IconDirectory::hotSpot(images[size_t(i)].entry));
    return load;
}

IconImagesLoad readIconImages(QIODevice &device, IconImageChoice choice)
{
    const std::optional<IconDirectory> directory = readIconDirectory(device);
    return directory ? readIconImages(device, *directory, choice) : IconImagesLoad();
}
