#include "iconsizes.h"

#include "iconset.h"
#include "pictureencoding.h"
#include "square.h"
#include "xcursor.h"


#include <algorithm>
#include "workthreads.h"

#include <functional>
#include <future>
#include <optional>
#include <set>
#include <system_error>

const std::vector<int> &IconSizes::all()
{
    static const std::vector<int> sizes = {256, 128, 64, 48, 32, 24, 16};
    return sizes;
}

const std::vector<int> &IconSizes::windows()
{
    static const std::vector<int> sizes = {256, 96, 64, 48, 40, 32, 24, 20, 16};
    return sizes;
}

const std::vector<int> &IconSizes::favicon()
{
    static const std::vector<int> sizes = {48, 32, 16};
    return sizes;
}

const std::vector<int> &IconSizes::cursor()
{
    // 32 at 100 % scaling, 48 at 150 %, 64 at 200 %, and the larger pointer
    // sizes of the accessibility settings.
    static const std::vector<int> sizes = {128, 96, 64, 48, 32};
    return sizes;
}

const std::vector<int> &IconSizes::xcursor()
{
    static const std::vector<int> sizes = {96, 64, 48, 32, 24};
    return sizes;
}

const std::vector<int> &IconSizes::icns()
{
    static const std::vector<int> sizes = {1024, 512, 256, 128, 64, 32, 16};
    return sizes;
}

const std::vector<int> &IconSizes::iconTheme()
{
    static const std::vector<int> sizes = {16, 22, 24, 32, 48, 64, 128, 256, 512};
    return sizes;
}

IconSizeList parseIconSizes(const QString &list)
{
    const QString name = list.trimmed();
    if (name == QLatin1String("all"))
        return {IconSizes::all(), std::nullopt};
    if (name == QLatin1String("windows"))
        return {IconSizes::windows(), std::nullopt};
    if (name == QLatin1String("favicon"))
        return {IconSizes::favicon(), std::nullopt};
    std::set<int> seen;
    std::vector<int> sizes;
    for (const QString &item : list.split(QLatin1Char(','))) {
        bool whole = false;
        const int size = item.trimmed().toInt(&whole);
        if (!whole || size < IconSizes::smallest || size > IconSizes::largest) {
            return {{}, Failure{Failure::Kind::Unusable,
                                QStringLiteral("--sizes takes whole numbers from 1 to 256 separated by commas, or "
                                               "\"all\", \"windows\" or \"favicon\"; \"%1\" is not one.")
                                    .arg(item.trimmed())}};
        }
        if (!seen.insert(size).second)
            return {{}, Failure{Failure::Kind::Unusable, QStringLiteral("--sizes lists %1 twice.").arg(size)}};
        sizes.push_back(size);
    }
    std::sort(sizes.begin(), sizes.end(), std::greater<int>());
    return {sizes, std::nullopt};
}

namespace {

// The square with alpha no longer premultiplied, every fully transparent
// pixel 0 whatever colour a picture used as it is had there (it shows
// nowhere, and so two frames or images that show the same are the same
// bytes, stored once); with `keyBlack`, pure black made transparent.
QImage straightSquare(const QImage &square, bool keyBlack)
{
    QImage straight = square.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < straight.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(straight.scanLine(y));
        for (int x = 0; x < straight.width(); ++x)
            if (qAlpha(line[x]) == 0 || (keyBlack && (line[x] & 0x00FFFFFF) == 0))
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

// What a run keeps of a picture under the picture (Picture::madeOnce): the
// straight square of a size, and its PNG.
enum class Kept : quint64 { Square, Png };

quint64 keyOf(Kept what, const SizeSource &source, bool keyBlack)
{
    return quint64(source.side) << 4 | quint64(what) << 2 | quint64(source.asItIs) << 1 | quint64(keyBlack);
}

// The straight square of one size of `source`. Every file of a run that has
// that size (the Windows icon, the macOS family, the theme ...) asks for
// the same square: it is made once.
QImage straightSquareOf(const Picture &picture, const SizeSource &source, bool keyBlack)
{
    return picture.madeOnce<QImage>(keyOf(Kept::Square, source, keyBlack), [&] {
        return straightSquare(source.asItIs ? picture.image() : fitIntoClearSquare(picture, source.side), keyBlack);
    });
}

IconImage iconImageOf(const Picture &picture, const SizeSource &source, bool keyBlack, bool pngAtLargest)
{
    const QImage straight = straightSquareOf(picture, source, keyBlack);
    IconImage image;
    image.side = source.side;
    // A 256 x 256 bitmap takes 264 KB; an icon allows PNG there (and should
    // the PNG writer fail, the bitmap stays).
    if (source.side == IconSizes::largest && pngAtLargest)
        image.png = encodePng(straight, true);
    if (image.png.isEmpty())
        image.pixels = pixelsOf(straight);
    return image;
}

// Whether the picture is exactly `side` pixels square, read whole: it can
// be an icon's image as it is.
bool isExactly(const Picture &picture, int side)
{
    return !picture.isDrawing() && picture.size() == QSize(side, side) && picture.image().size() == picture.size();
}

// The longer side of a picture.
int longerSide(const Picture &picture)
{
    return std::max(picture.size().width(), picture.size().height());
}

// The picture one size is made from, when none is exactly that size.
std::optional<size_t> sourceToDraw(const std::vector<Picture> &pictures, int side, bool enlarge)
{
    std::optional<size_t> best;
    for (size_t i = 0; i < pictures.size(); ++i) {
        if (pictures[i].isDrawing())
            return i;
        const bool largeEnough = longerSide(pictures[i]) >= side;
        if (largeEnough && (!best || longerSide(pictures[i]) < longerSide(pictures[*best])))
            best = i;
    }
    if (!best && enlarge && !pictures.empty()) // enlarged, the largest loses least
        best = size_t(std::max_element(pictures.begin(), pictures.end(), [](const Picture &a, const Picture &b) {
                          return longerSide(a) < longerSide(b);
                      }) - pictures.begin());
    return best;
}

} // namespace

IconSizePlan planIconSizes(const std::vector<Picture> &pictures, const std::vector<int> &sizes, bool enlarge)
{
    std::vector<SizeSource> plan;
    for (int side : sizes) {
        std::vector<size_t> exact;
        for (size_t i = 0; i < pictures.size(); ++i)
            if (isExactly(pictures[i], side))
                exact.push_back(i);
        if (exact.size() > 1)
            return {{}, Failure{Failure::Kind::Unusable,
                                QStringLiteral("two pictures are %1 x %1; give one picture of each size.").arg(side)}};
        if (exact.size() == 1) {
            plan.push_back({side, exact.front(), true});
        } else if (const std::optional<size_t> source = sourceToDraw(pictures, side, enlarge)) {
            const Picture &picture = pictures[*source];
            plan.push_back({side, *source, false, !picture.isDrawing() && longerSide(picture) < side});
        } else {
            return {{}, Failure{Failure::Kind::Unusable,
                                QStringLiteral("no picture is %1 pixels or larger, so the %1 x %1 image would be "
                                               "enlarged; give a larger picture (or, with --sizes, leave %1 out).")
                                    .arg(side)}};
        }
    }
    return {plan, std::nullopt};
}

// Up to this many pixels a picture is made into its sizes in the calling
// thread: the largest size's PNG takes most of the time either way, and
// threads would save little (4.2 against 3.7 ms for a 64 x 64 picture).
constexpr qint64 smallPicturePixels = 256 * 256;

QByteArray encodeIconSizes(const Picture &picture, const std::vector<int> &sizes, bool keyBlack)
{
    return encodeIconSizes({picture}, planIconSizes({picture}, sizes, true).sources, keyBlack);
}

namespace {

// What `make` gives for each size of `plan`, the sizes made side by side,
// as many as the work threads free allow (-j): each reads its whole
// picture. When none is free, or no thread can be started, a size is made
// when it is asked for.
template<typename Made>
std::vector<Made> sideBySide(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan,
                             const std::function<Made(const Picture &, const SizeSource &)> &make)
{
    std::vector<std::future<Made>> made;
    for (const SizeSource &source : plan) {
        const Picture &picture = pictures[source.picture];
        const QSize read = picture.image().size();
        const bool small = qint64(read.width()) * read.height() <= smallPicturePixels;
        const auto one = [&picture, source, &make] { return make(picture, source); };
        made.push_back(small ? std::async(std::launch::deferred, one) : WorkThreads::startSideBySide(one));
    }
    std::vector<Made> results;
    for (std::future<Made> &one : made)
        results.push_back(one.get());
    return results;
}

// The image of each size of `plan`, its pixels straight; the 256 image as
// PNG when `pngAtLargest`.
std::vector<IconImage> iconImagesOf(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan,
                                    bool keyBlack, bool pngAtLargest)
{
    return sideBySide<IconImage>(pictures, plan, [keyBlack, pngAtLargest](const Picture &picture, const SizeSource &source) {
        return iconImageOf(picture, source, keyBlack, pngAtLargest);
    });
}

} // namespace

QByteArray encodeIconSizes(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan, bool keyBlack)
{
    return encodeIconSet(iconImagesOf(pictures, plan, keyBlack, true));
}

std::vector<QImage> squareImagesOf(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan, bool keyBlack)
{
    return sideBySide<QImage>(pictures, plan, [keyBlack](const Picture &picture, const SizeSource &source) {
        return straightSquareOf(picture, source, keyBlack);
    });
}

std::vector<QByteArray> squarePngsOf(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan, bool keyBlack)
{
    return sideBySide<QByteArray>(pictures, plan, [keyBlack](const Picture &picture, const SizeSource &source) {
        return picture.madeOnce<QByteArray>(keyOf(Kept::Png, source, keyBlack), [&] {
            return encodePng(straightSquareOf(picture, source, keyBlack));
        });
    });
}

QByteArray encodeXcursorSizes(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan, bool keyBlack,
                              const std::vector<QPoint> &hotSpots)
{
    return encodeXcursor(xcursorImagesOf(pictures, plan, keyBlack, hotSpots, 0));
}

std::vector<XcursorImage> xcursorImagesOf(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan,
                                          bool keyBlack, const std::vector<QPoint> &hotSpots, quint32 delay)
{
    std::vector<XcursorImage> cursor;
    const std::vector<IconImage> images = iconImagesOf(pictures, plan, keyBlack, false);
    for (size_t i = 0; i < images.size(); ++i) {
        XcursorImage image{images[i].side, images[i].side, images[i].side, hotSpots.at(i), delay, {}};
        image.pixels.reserve(images[i].pixels.size());
        for (quint32 pixel : images[i].pixels)
            image.pixels.push_back(qPremultiply(pixel));
        cursor.push_back(std::move(image));
    }
    return cursor;
}

std::vector<QPoint> cursorHotSpots(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan,
                                   std::optional<QPointF> given)
{
    const Picture &first = pictures.front();
    const QPointF spot = given ? *given : first.hotSpot().value_or(QPointF(0, 0));
    std::vector<QPoint> spots;
    for (const SizeSource &source : plan) {
        const Picture &picture = pictures[source.picture];
        // A cursor's image keeps its own hot spot; any other picture takes
        // the first one's, at the same place of it.
        const QPointF point = !given && picture.hotSpot()
                                  ? *picture.hotSpot()
                                  : QPointF(spot.x() * picture.size().width() / std::max(first.size().width(), 1),
                                            spot.y() * picture.size().height() / std::max(first.size().height(), 1));
        spots.push_back(pointInSquare(picture.size(), point, source.side, SquareBands::Clear));
    }
    return spots;
}
