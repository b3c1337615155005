#include "iconlisting.h"

#include "icondirectory.h"
#include "pngchunks.h"

#include <algorithm>
#include <unordered_map>

namespace {

// Pixels whose AND mask bit says clear but whose alpha is not 0, or the
// other way round, in a 32-bit bitmap image with a mask.
qint64 maskAlphaDisagreements(const QByteArray &image, const BitmapInfoHeader &header, qint64 width, qint64 height)
{
    const qint64 colourRow = width * 4;
    const qint64 maskRow = ((width + 31) / 32) * 4;
    const qint64 colours = BitmapInfoHeader::size;
    const qint64 mask = colours + colourRow * height;
    if (header.biBitCount != 32 || mask + maskRow * height > image.size())
        return 0;
    qint64 disagreeing = 0;
    for (qint64 row = 0; row < height; ++row)
        for (qint64 x = 0; x < width; ++x) {
            const bool clear = uchar(image.at(colours + row * colourRow + x * 4 + 3)) == 0;
            const bool masked = uchar(image.at(mask + row * maskRow + x / 8)) & (0x80 >> (x % 8));
            disagreeing += clear != masked;
        }
    return disagreeing;
}

// What one stretch of bytes holds.
struct Inspection
{
    enum class Fault { None, NoBitmapHeader, TooFewBytes, PngNotWhole };
    IconImageHeader header;
    Fault fault = Fault::None;
    qint64 disagreeingPixels = 0;
};

// Looks into an image's bytes: its header always; with `throughout`, also
// every chunk of a PNG, or the mask and alpha of every pixel of a bitmap.
Inspection inspect(const QByteArray &image, bool throughout)
{
    Inspection found;
    found.header = iconImageHeaderOf(image);
    if (found.header.png) {
        if (throughout && !pngIsWhole(image))
            found.fault = Inspection::Fault::PngNotWhole;
        return found;
    }
    if (!found.header.found) {
        found.fault = Inspection::Fault::NoBitmapHeader;
        return found;
    }
    const BitmapInfoHeader header = bitmapInfoHeaderAt(image, 0);
    const qint64 width = qBound(0, header.biWidth, 65536);
    const qint64 height = qBound(0, header.biHeight / 2, 65536);
    IconBitmapLayout layout = iconBitmapLayout(header, width, height);
    layout.maskRowBytes = ((width + 31) / 32) * 4; // a 32-bit image may carry one too
    if (header.biCompression == 0 && BitmapInfoHeader::size + layout.maskOffset() > image.size())
        found.fault = Inspection::Fault::TooFewBytes;
    else if (throughout)
        found.disagreeingPixels = maskAlphaDisagreements(image, header, width, height);
    return found;
}

// Why image `number` is damaged, by what its inspection found; nothing
// when it is whole.
QStringList damageOf(const Inspection &inspection, int number)
{
    switch (inspection.fault) {
    case Inspection::Fault::None: return {};
    case Inspection::Fault::NoBitmapHeader: return {QStringLiteral("image %1 has no bitmap header").arg(number)};
    case Inspection::Fault::TooFewBytes:
        return {QStringLiteral("image %1 holds fewer bytes than its %2 x %3 pixels need")
                    .arg(number)
                    .arg(inspection.header.width)
                    .arg(inspection.header.height)};
    case Inspection::Fault::PngNotWhole: return {QStringLiteral("the PNG of image %1 is not whole").arg(number)};
    }
    return {};
}

// The image as its header, or without one its entry, says it is.
ListedImage listedAs(const Inspection &inspection, const IconEntryRecord &entry, const IconDirectory &directory)
{
    ListedImage listed;
    listed.offset = entry.dwImageOffset;
    listed.bytes = entry.dwBytesInRes;
    listed.png = inspection.header.png;
    listed.headerRead = inspection.header.found;
    listed.width = inspection.header.found ? inspection.header.width : iconEntrySide(entry.bWidth);
    listed.height = inspection.header.found ? inspection.header.height : iconEntrySide(entry.bHeight);
    listed.bitsPerPixel = inspection.header.found ? inspection.header.bitsPerPixel : directory.claimedBits(entry);
    if (inspection.disagreeingPixels > 0)
        listed.disagreements
            << QStringLiteral("its mask disagrees with its alpha at %1 pixels").arg(inspection.disagreeingPixels);
    return listed;
}

void compareWithEntry(const IconEntryRecord &entry, const IconDirectory &directory, ListedImage &listed)
{
    if (!listed.headerRead || (listed.width == 0 && listed.height == 0))
        return; // nothing of the image to compare
    const int entryWidth = iconEntrySide(entry.bWidth);
    const int entryHeight = iconEntrySide(entry.bHeight);
    const int entryBits = directory.claimedBits(entry);
    if (entryWidth != listed.width || entryHeight != listed.height)
        listed.disagreements << QStringLiteral("its entry says %1 x %2").arg(entryWidth).arg(entryHeight);
    if (entryBits != 0 && entryBits != listed.bitsPerPixel)
        listed.disagreements << QStringLiteral("its entry says %1 bits").arg(entryBits);
}

// Images whose bytes overlap one another or the directory, named by
// number, added to `damage`.
void findOverlaps(const std::vector<ListedImage> &images, qint64 directoryEnd, DamageList &damage)
{
    std::vector<size_t> order(images.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return images[a].offset < images[b].offset; });
    // Each image against the one reaching furthest of those before it.
    size_t furthest = 0;
    for (size_t k = 0; k < order.size(); ++k) {
        const ListedImage &image = images[order[k]];
        if (image.offset < directoryEnd)
            damage.add([&] { return QStringLiteral("image %1 overlaps the directory").arg(order[k] + 1); });
        if (k > 0 && image.offset < images[furthest].offset + images[furthest].bytes)
            damage.add([&] { return QStringLiteral("images %1 and %2 overlap").arg(furthest + 1).arg(order[k] + 1); });
        if (k == 0 || image.offset + image.bytes > images[furthest].offset + images[furthest].bytes)
            furthest = order[k];
    }
}

} // namespace

IconListing listIcon(const QByteArray &file)
{
    const std::optional<IconDirectory> directory = iconDirectoryOf(file);
    return directory ? listIcon(*directory, file) : IconListing();
}

IconListing listIcon(const IconDirectory &directory, const QByteArray &file)
{
    IconListing listing;
    if (!directory.headerWhole || directory.claimed == 0)
        return listing;
    listing.isIcon = true;
    listing.cursor = directory.cursor();
    if (!directory.whole()) {
        listing.damage.add(QStringLiteral("the file ends within its directory of %1 images").arg(directory.claimed));
        return listing;
    }
    std::unordered_map<quint64, Inspection> inspected; // by the bytes an entry names
    qint64 lookedThrough = 0;
    for (size_t i = 0; i < directory.entries.size(); ++i) {
        const IconEntryRecord &entry = directory.entries[i];
        const qint64 offset = entry.dwImageOffset;
        // A view of the image's bytes, not a copy: an icon can be large.
        // What is there of an image that runs past the end is still listed.
        const qint64 length = std::clamp<qint64>(file.size() - offset, 0, entry.dwBytesInRes);
        auto [known, first] = inspected.try_emplace(imageBytesKey(entry));
        if (first) {
            const bool throughout = lookedThrough + length <= file.size();
            lookedThrough += throughout ? length : 0;
            known->second = inspect(length > 0 ? QByteArray::fromRawData(file.constData() + offset, length) : QByteArray(),
                                    throughout);
            // An image listed again is told as overlapping the first.
            if (offset + qint64(entry.dwBytesInRes) > file.size())
                listing.damage.add([i] { return QStringLiteral("image %1 runs past the end of the file").arg(i + 1); });
            else
                listing.damage.add(damageOf(known->second, int(i) + 1));
        }
        ListedImage listed = listedAs(known->second, entry, directory);
        if (directory.cursor())
            listed.hotSpot = IconDirectory::hotSpot(entry);
        compareWithEntry(entry, directory, listed);
        listing.images.push_back(std::move(listed));
    }
    findOverlaps(listing.images, directory.end(), listing.damage);
    return listing;
}

QStringList listingLines(const IconListing &listing)
{
    QStringList lines;
    for (size_t i = 0; i < listing.images.size(); ++i) {
        const ListedImage &image = listing.images[i];
        const QString bits = image.bitsPerPixel > 0 || image.headerRead
                                 ? QStringLiteral(", %1 bits").arg(image.bitsPerPixel) : QString();
        const QString kind = !image.headerRead ? QStringLiteral(" as its entry says")
                             : image.png      ? QStringLiteral(", PNG")
                                              : QStringLiteral(", BMP");
        const QString hotSpot = image.hotSpot ? QStringLiteral(", hot spot %1,%2").arg(image.hotSpot->x()).arg(image.hotSpot->y())
                                              : QString();
        lines << QStringLiteral("%1: %2 x %3%4%5, %6 bytes at %7%8")
                     .arg(i + 1)
                     .arg(image.width)
                     .arg(image.height)
                     .arg(bits, kind)
                     .arg(image.bytes)
                     .arg(image.offset)
                     .arg(hotSpot);
        for (const QString &disagreement : image.disagreements)
            lines << QStringLiteral("   %1").arg(disagreement);
    }
    return lines;
}
