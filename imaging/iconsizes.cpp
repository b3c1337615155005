#include "iconsizes.h"

#include "iconset.h"
#include "square.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <functional>
#include <future>
#include <set>
#include <system_error>

const std::vector<int> &IconSizes::all()
{
    static const std::vector<int> sizes = {256, 128, 64, 48, 32, 24, 16};
    return sizes;
}

std::vector<int> parseIconSizes(const QString &list, QString &error)
{
    if (list.trimmed() == QLatin1String("all"))
        return IconSizes::all();
    std::set<int> seen;
    std::vector<int> sizes;
    for (const QString &item : list.split(QLatin1Char(','))) {
        bool whole = false;
        const int size = item.trimmed().toInt(&whole);
        if (!whole || size < IconSizes::smallest || size > IconSizes::largest) {
            error = QStringLiteral("--sizes takes whole numbers from 1 to 256 separated by commas, or \"all\"; "
                                   "\"%1\" is not one.")
                        .arg(item.trimmed());
            return {};
        }
        if (!seen.insert(size).second) {
            error = QStringLiteral("--sizes lists %1 twice.").arg(size);
            return {};
        }
        sizes.push_back(size);
    }
    std::sort(sizes.begin(), sizes.end(), std::greater<int>());
    return sizes;
}

namespace {

// The square's pixels, alpha no longer premultiplied, top-down.
// The square with alpha no longer premultiplied; with `keyBlack`, pure
// black made transparent.
QImage straightSquare(const QImage &square, bool keyBlack)
{
    QImage straight = square.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; keyBlack && y < straight.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(straight.scanLine(y));
        for (int x = 0; x < straight.width(); ++x)
            if ((line[x] & 0x00FFFFFF) == 0)
                line[x] = 0;
    }
    return straight;
}

std::vector<quint32> pixelsOf(const QImage &straight)
{
    std::vector<quint32> pixels;
    pixels.reserve(size_t(straight.width()) * size_t(straight.height()));
    for (int y = 0; y < straight.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(straight.constScanLine(y));
        pixels.insert(pixels.end(), line, line + straight.width());
    }
    return pixels;
}

QByteArray pngOf(const QImage &straight)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(80); // zlib's fastest level: several times quicker, a few KB more
    return writer.write(straight) ? png : QByteArray();
}

IconImage iconImageOf(const Picture &picture, int side, bool keyBlack)
{
    const QImage straight = straightSquare(fitIntoClearSquare(picture, side), keyBlack);
    IconImage image;
    image.side = side;
    // A 256 x 256 bitmap takes 264 KB; the format allows PNG there (and
    // should the PNG writer fail, the bitmap stays).
    if (side == IconSizes::largest)
        image.png = pngOf(straight);
    if (image.png.isEmpty())
        image.pixels = pixelsOf(straight);
    return image;
}

} // namespace

// Up to this many pixels a picture is made into its sizes in the calling
// thread: the largest size's PNG takes most of the time either way, and
// threads would save little (4.2 against 3.7 ms for a 64 x 64 picture).
constexpr qint64 smallPicturePixels = 256 * 256;

QByteArray encodeIconSizes(const Picture &picture, const std::vector<int> &sizes, bool keyBlack)
{
    // The sizes are made side by side: each reads the whole picture. When no
    // thread can be started, a size is made when it is asked for.
    const QSize read = picture.image().size();
    const bool small = qint64(read.width()) * read.height() <= smallPicturePixels;
    std::vector<std::future<IconImage>> made;
    for (int side : sizes) {
        try {
            made.push_back(std::async(small ? std::launch::deferred : std::launch::async, iconImageOf,
                                      std::cref(picture), side, keyBlack));
        } catch (const std::system_error &) {
            made.push_back(std::async(std::launch::deferred, iconImageOf, std::cref(picture), side, keyBlack));
        }
    }
    std::vector<IconImage> images;
    for (std::future<IconImage> &image : made)
        images.push_back(image.get());
    return encodeIconSet(images);
}
