#include "iconlisting.h"

#include "iconrecords.h"
#include "littleendian.h"

#include <QtEndian>

#include <algorithm>

namespace {

const QByteArray pngSignature("\x89PNG\r\n\x1A\n", 8);

quint32 bigEndianAt(const QByteArray &bytes, qint64 at)
{
    return at >= 0 && at + 4 <= bytes.size() ? qFromBigEndian<quint32>(bytes.constData() + at) : 0;
}

// Whether a PNG stream's chunks run whole from its signature to its end
// chunk within `image`.
bool pngIsWhole(const QByteArray &image)
{
    qint64 at = pngSignature.size();
    while (at + 8 <= image.size()) {
        const qint64 length = bigEndianAt(image, at);
        const QByteArray type = image.mid(at + 4, 4);
        at += 12 + length; // length, type, data and CRC
        if (at > image.size())
            return false;
        if (type == "IEND")
            return true;
    }
    return false;
}

// A PNG image's size and bits per pixel, from its header chunk.
void readPngHeader(const QByteArray &image, ListedImage &listed)
{
    listed.png = true;
    listed.width = int(bigEndianAt(image, 16));
    listed.height = int(bigEndianAt(image, 20));
    const int depth = image.size() > 24 ? uchar(image.at(24)) : 0;
    const int colourType = image.size() > 25 ? uchar(image.at(25)) : 0;
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    listed.bitsPerPixel = depth * channels;
}

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

// A bitmap image's size and bits per pixel, and where it disagrees.
void readBitmapHeader(const QByteArray &image, ListedImage &listed, QStringList &damage, int number)
{
    const BitmapInfoHeader header = bitmapInfoHeaderAt(image, 0);
    if (image.size() < BitmapInfoHeader::size || header.biSize < BitmapInfoHeader::size) {
        damage << QStringLiteral("image %1 has no bitmap header").arg(number);
        return;
    }
    listed.width = header.biWidth;
    listed.height = header.biHeight / 2;
    listed.bitsPerPixel = header.biBitCount;
    const qint64 width = qBound(0, header.biWidth, 65536);
    const qint64 height = qBound(0, header.biHeight / 2, 65536);
    IconBitmapLayout layout = iconBitmapLayout(header, width, height);
    layout.maskRowBytes = ((width + 31) / 32) * 4; // a 32-bit image may carry one too
    if (header.biCompression == 0 && BitmapInfoHeader::size + layout.maskOffset() > image.size())
        damage << QStringLiteral("image %1 holds fewer bytes than its %2 x %3 pixels need")
                      .arg(number).arg(listed.width).arg(listed.height);
    else if (const qint64 pixels = maskAlphaDisagreements(image, header, width, height))
        listed.disagreements << QStringLiteral("its mask disagrees with its alpha at %1 pixels").arg(pixels);
}

void compareWithEntry(const IconEntryRecord &entry, bool cursor, ListedImage &listed)
{
    if (listed.width == 0 && listed.height == 0)
        return; // nothing of the image to compare
    const int entryWidth = iconEntrySide(entry.bWidth);
    const int entryHeight = iconEntrySide(entry.bHeight);
    // A cursor's entry holds its hot spot where an icon's holds planes and bits.
    const int entryBits = cursor ? 0 : entry.wBitCount;
    if (entryWidth != listed.width || entryHeight != listed.height)
        listed.disagreements << QStringLiteral("its entry says %1 x %2").arg(entryWidth).arg(entryHeight);
    if (entryBits != 0 && entryBits != listed.bitsPerPixel)
        listed.disagreements << QStringLiteral("its entry says %1 bits").arg(entryBits);
}

// Images whose bytes overlap one another or the directory, named by number;
// the first few pairs, then how many more there are.
QStringList overlaps(const std::vector<ListedImage> &images, qint64 directoryEnd)
{
    constexpr int named = 5;
    std::vector<size_t> order(images.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return images[a].offset < images[b].offset; });
    QStringList found;
    qint64 more = 0;
    const auto report = [&](const QString &overlap) {
        if (found.size() < named)
            found << overlap;
        else
            ++more;
    };
    // Each image against the one reaching furthest of those before it.
    size_t furthest = 0;
    for (size_t k = 0; k < order.size(); ++k) {
        const ListedImage &image = images[order[k]];
        if (image.offset < directoryEnd)
            report(QStringLiteral("image %1 overlaps the directory").arg(order[k] + 1));
        if (k > 0 && image.offset < images[furthest].offset + images[furthest].bytes)
            report(QStringLiteral("images %1 and %2 overlap").arg(furthest + 1).arg(order[k] + 1));
        if (k == 0 || image.offset + image.bytes > images[furthest].offset + images[furthest].bytes)
            furthest = order[k];
    }
    if (more > 0)
        found << QStringLiteral("%1 more overlaps").arg(more);
    return found;
}

} // namespace

IconListing listIcon(const QByteArray &file)
{
    IconListing listing;
    const IconDirRecord dir = iconDirAt(file, 0);
    if (file.size() < IconDirRecord::size || dir.idReserved != 0 || (dir.idType != 1 && dir.idType != 2)
        || dir.idCount == 0)
        return listing;
    listing.isIcon = true;
    listing.cursor = dir.idType == 2;
    if (file.size() < iconEntryOffset(dir.idCount)) {
        listing.damage << QStringLiteral("the file ends within its directory of %1 images").arg(dir.idCount);
        return listing;
    }
    for (int i = 0; i < dir.idCount; ++i) {
        const IconEntryRecord entry = iconEntryAt(file, iconEntryOffset(i));
        ListedImage listed;
        listed.offset = entry.dwImageOffset;
        listed.bytes = entry.dwBytesInRes;
        // What is there of an image that runs past the end is still listed.
        const bool pastEnd = listed.offset + listed.bytes > file.size();
        // A view of the image's bytes, not a copy: an icon can be large.
        const qint64 length = std::clamp<qint64>(file.size() - listed.offset, 0, listed.bytes);
        const QByteArray image = length > 0 ? QByteArray::fromRawData(file.constData() + listed.offset, length) : QByteArray();
        QStringList damage;
        if (image.startsWith(pngSignature)) {
            readPngHeader(image, listed);
            if (!pngIsWhole(image))
                damage << QStringLiteral("the PNG of image %1 is not whole").arg(i + 1);
        } else {
            readBitmapHeader(image, listed, damage, i + 1);
        }
        if (pastEnd)
            damage = QStringList{QStringLiteral("image %1 runs past the end of the file").arg(i + 1)};
        listing.damage << damage;
        compareWithEntry(entry, listing.cursor, listed);
        listing.images.push_back(listed);
    }
    listing.damage << overlaps(listing.images, iconEntryOffset(dir.idCount));
    return listing;
}

QStringList listingLines(const IconListing &listing)
{
    QStringList lines;
    for (size_t i = 0; i < listing.images.size(); ++i) {
        const ListedImage &image = listing.images[i];
        lines << QStringLiteral("%1: %2 x %3, %4 bits, %5, %6 bytes at %7")
                     .arg(i + 1)
                     .arg(image.width)
                     .arg(image.height)
                     .arg(image.bitsPerPixel)
                     .arg(image.png ? QStringLiteral("PNG") : QStringLiteral("BMP"))
                     .arg(image.bytes)
                     .arg(image.offset);
        for (const QString &disagreement : image.disagreements)
            lines << QStringLiteral("   %1").arg(disagreement);
    }
    return lines;
}
