#include "xcursor.h"

#include "littleendian.h"

#include <algorithm>
#include <map>

namespace {

constexpr quint32 fileMagic = 0x72756358; // "Xcur"
constexpr quint32 fileHeaderBytes = 16;
constexpr quint32 fileVersion = 0x10000;
constexpr quint32 tocEntryBytes = 12;
constexpr quint32 imageType = 0xFFFD0002;
constexpr quint32 imageHeaderBytes = 36;
constexpr quint32 imageVersion = 1;

quint32 imageBytes(const XcursorImage &image)
{
    return imageHeaderBytes + quint32(image.pixels.size()) * 4;
}

} // namespace

QByteArray encodeXcursor(const std::vector<XcursorImage> &images)
{
    LittleEndianWriter out;
    out << fileMagic << fileHeaderBytes << fileVersion << quint32(images.size());
    quint32 position = fileHeaderBytes + tocEntryBytes * quint32(images.size());
    for (const XcursorImage &image : images) {
        out << imageType << quint32(image.nominalSize) << position;
        position += imageBytes(image);
    }
    for (const XcursorImage &image : images) {
        out << imageHeaderBytes << imageType << quint32(image.nominalSize) << imageVersion << quint32(image.width)
            << quint32(image.height) << quint32(image.hotSpot.x()) << quint32(image.hotSpot.y()) << image.delay;
        for (quint32 pixel : image.pixels)
            out << pixel;
    }
    return out.bytes();
}

namespace {

// The most entries and the longest side libXcursor reads.
constexpr quint32 maximumTocEntries = 0x10000;
constexpr quint32 maximumSide = 0x7FFF;

struct TocEntry
{
    quint32 type = 0;
    quint32 nominalSize = 0;
    quint32 position = 0;
};

// The table of contents, or the damage that makes it unreadable.
std::vector<TocEntry> tableOfContents(const QByteArray &file, QStringList &damage)
{
    quint32 magic = 0, headerSize = 0, version = 0, count = 0;
    LittleEndianReader in(file);
    in >> magic >> headerSize >> version >> count;
    if (in.ranPastEnd() || headerSize < fileHeaderBytes) {
        damage << QStringLiteral("its header is cut short");
        return {};
    }
    if (count > maximumTocEntries) {
        damage << QStringLiteral("its table has %1 entries, more than the %2 Xcursor reads").arg(count).arg(maximumTocEntries);
        return {};
    }
    if (headerSize + qint64(count) * tocEntryBytes > file.size()) {
        damage << QStringLiteral("its table of %1 entries runs past the end of the file").arg(count);
        return {};
    }
    std::vector<TocEntry> entries(count);
    LittleEndianReader table(file, headerSize);
    for (TocEntry &entry : entries)
        table >> entry.type >> entry.nominalSize >> entry.position;
    return entries;
}

// The image an entry points at, its header checked; the damage when it is
// not whole or cannot be an image.
std::optional<XcursorImage> imageAt(const QByteArray &file, const TocEntry &entry, int number, QStringList &damage)
{
    quint32 headerSize = 0, type = 0, nominalSize = 0, version = 0, width = 0, height = 0, x = 0, y = 0, delay = 0;
    LittleEndianReader in(file, entry.position);
    in >> headerSize >> type >> nominalSize >> version >> width >> height >> x >> y >> delay;
    const QString image = QStringLiteral("image %1").arg(number);
    if (in.ranPastEnd() || headerSize < imageHeaderBytes || type != imageType) {
        damage << (in.ranPastEnd() ? QStringLiteral("%1 begins past the end of the file").arg(image)
                                   : QStringLiteral("%1 has no image header where its entry points").arg(image));
        return std::nullopt;
    }
    if (width == 0 || height == 0 || width > maximumSide || height > maximumSide) {
        damage << QStringLiteral("%1 is %2 x %3 pixels, which no cursor can be").arg(image).arg(width).arg(height);
        return std::nullopt;
    }
    if (x > width || y > height)
        damage << QStringLiteral("the hot spot %1,%2 of %3 lies outside it").arg(x).arg(y).arg(image);
    const qint64 pixelsAt = qint64(entry.position) + imageHeaderBytes;
    if (pixelsAt + qint64(width) * height * 4 > file.size()) {
        damage << QStringLiteral("%1 runs past the end of the file").arg(image);
        return std::nullopt;
    }
    return XcursorImage{int(nominalSize), int(width), int(height), QPoint(int(x), int(y)), delay, {}};
}

// Images whose bytes overlap: each is damage, since a file could
// otherwise name one big image thousands of times.
void findOverlaps(const std::vector<TocEntry> &entries, const std::vector<XcursorImage> &images,
                  const std::vector<int> &numbers, QStringList &damage)
{
    std::vector<size_t> order(images.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    auto start = [&](size_t i) { return qint64(entries[size_t(numbers[i]) - 1].position); };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return start(a) < start(b); });
    for (size_t k = 1; k < order.size(); ++k) {
        const XcursorImage &before = images[order[k - 1]];
        if (start(order[k - 1]) + imageHeaderBytes + qint64(before.width) * before.height * 4 > start(order[k])) {
            damage << QStringLiteral("images %1 and %2 share their bytes").arg(numbers[order[k - 1]]).arg(numbers[order[k]]);
            return;
        }
    }
}

} // namespace

bool isXcursor(const QByteArray &head)
{
    return head.startsWith("Xcur");
}

std::optional<XcursorContents> readXcursor(const QByteArray &file)
{
    if (!isXcursor(file))
        return std::nullopt;
    XcursorContents contents;
    const std::vector<TocEntry> entries = tableOfContents(file, contents.damage);
    std::vector<int> numbers; // each image's entry, counted from 1
    for (size_t i = 0; i < entries.size() && contents.damage.isEmpty(); ++i) {
        if (entries[i].type != imageType)
            continue; // a comment, or a chunk of a kind Xcursor does not know
        if (std::optional<XcursorImage> image = imageAt(file, entries[i], int(i) + 1, contents.damage)) {
            contents.images.push_back(std::move(*image));
            contents.pixelsAt.push_back(qint64(entries[i].position) + imageHeaderBytes);
            numbers.push_back(int(i) + 1);
        }
    }
    if (contents.damage.isEmpty())
        findOverlaps(entries, contents.images, numbers, contents.damage);
    if (contents.damage.isEmpty() && contents.images.empty())
        contents.damage << QStringLiteral("it holds no images");
    return contents;
}

std::vector<quint32> xcursorPixels(const QByteArray &file, const XcursorContents &contents, size_t index)
{
    const XcursorImage &image = contents.images[index];
    std::vector<quint32> pixels(size_t(image.width) * size_t(image.height));
    LittleEndianReader in(file, contents.pixelsAt[index]);
    for (quint32 &pixel : pixels)
        in >> pixel;
    return pixels;
}

std::vector<std::vector<size_t>> xcursorFrames(const std::vector<XcursorImage> &images)
{
    std::vector<std::vector<size_t>> frames;
    std::map<int, size_t> framesOfSize; // nominal size -> frames met so far
    for (size_t i = 0; i < images.size(); ++i) {
        const size_t frame = framesOfSize[images[i].nominalSize]++;
        if (frame == frames.size())
            frames.emplace_back();
        frames[frame].push_back(i);
    }
    return frames;
}
