// macOS icon families: the elements read by the icon module, their pixels
// decoded here, and the reader of the table of formats, which gives the
// image that suits the drawing best.

#include "icnsformat.h"

#include "cursoranimation.h"
#include "fileaccess.h"
#include "formatrows.h"
#include "icns.h"
#include "icondirectory.h"
#include "picturelimits.h"
#include "pngchunks.h"

#include <QSet>

namespace {

// The largest side an element may decode to: twice the largest entry.
constexpr int largestSide = 2048;
// The largest side of a JPEG 2000 element: the largest entry's. Only older
// tools wrote them, each its type's size, and a few hundred bytes of one
// can claim a picture that takes a second to decode.
constexpr int largestJpeg2000Side = 1024;
// And their pixels together: those of a 1024 and a 512 and more, where
// older tools stored a 256 and a 512. Each costs the decoder far more than
// a PNG's (seven 1024s in small tiles and code blocks took 3.8 s).
constexpr qint64 maximumJpeg2000Pixels = 2 * 1024 * 1024;

Failure unreadable(const QString &why)
{
    return Failure{Failure::Kind::NotAPicture, QStringLiteral("the icon family %1").arg(why)};
}

// A PNG stream, decoded once its own header says it fits.
std::optional<QImage> pngImage(const QByteArray &data)
{
    const IconImageHeader header = iconImageHeaderOf(data);
    if (!header.found || header.width > largestSide || header.height > largestSide || !pngIsWhole(data))
        return std::nullopt;
    QImage image = QImage::fromData(data, "PNG");
    if (image.isNull())
        return std::nullopt;
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A JPEG 2000 stream, decoded once its own header says it fits.
std::optional<QImage> jpeg2000Image(const QByteArray &data)
{
    const QSize stated = readJpeg2000Header(data).size;
    if (stated.isEmpty() || stated.width() > largestJpeg2000Side || stated.height() > largestJpeg2000Side)
        return std::nullopt;
    Jpeg2000Image decoded = decodeJpeg2000(data, qint64(largestJpeg2000Side) * largestJpeg2000Side);
    if (decoded.failure)
        return std::nullopt;
    return std::move(decoded.image);
}

// Planes of `side` x `side` bytes (alpha first when there are four) as an
// image; the alpha of `mask` when given.
QImage planesImage(const QByteArray &planes, int side, int channels, const QByteArray &mask)
{
    const qint64 plane = qint64(side) * side;
    const int colour = channels == 4 ? 1 : 0;
    QImage image(side, side, QImage::Format_ARGB32);
    for (int y = 0; y < side; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < side; ++x) {
            const qint64 at = qint64(y) * side + x;
            const int alpha = channels == 4 ? uchar(planes[at]) : mask.size() == plane ? uchar(mask[at]) : 255;
            row[x] = qRgba(uchar(planes[(colour + 0) * plane + at]), uchar(planes[(colour + 1) * plane + at]),
                           uchar(planes[(colour + 2) * plane + at]), alpha);
        }
    }
    return image;
}

// Interleaved RGB, as some writers store the oldest elements unpacked.
QByteArray planesOfInterleaved(const QByteArray &rgb, int side)
{
    const qint64 plane = qint64(side) * side;
    QByteArray planes(plane * 3, '\0');
    for (qint64 i = 0; i < plane; ++i)
        for (int c = 0; c < 3; ++c)
            planes[c * plane + i] = rgb[i * 3 + c];
    return planes;
}

QByteArray maskOfSide(const std::vector<IcnsElement> &elements, int side)
{
    for (const IcnsElement &element : elements) {
        const IcnsType type = icnsTypeOf(element.type);
        if (type.kind == IcnsKind::Mask8 && type.side == side)
            return element.data;
    }
    return {};
}

// The pixels of one element; nothing when it holds none Tervana reads, or
// they are not whole.
std::optional<QImage> elementImage(const std::vector<IcnsElement> &elements, const IcnsElement &element)
{
    const IcnsType type = icnsTypeOf(element.type);
    if (hasPngSignature(element.data))
        return pngImage(element.data);
    if (isJpeg2000(element.data))
        return jpeg2000Image(element.data);
    const qint64 plane = qint64(type.side) * type.side;
    if (type.kind == IcnsKind::Argb && element.data.startsWith("ARGB")) {
        const QByteArray planes = unpackIcnsRuns(element.data.mid(4), type.side, 4);
        return planes.isEmpty() ? std::nullopt : std::optional<QImage>(planesImage(planes, type.side, 4, {}));
    }
    if (type.kind != IcnsKind::RunLength24)
        return std::nullopt;
    const QByteArray data = element.type == "it32" ? element.data.mid(4) : element.data;
    const QByteArray planes = data.size() == plane * 3 ? planesOfInterleaved(data, type.side) : unpackIcnsRuns(data, type.side, 3);
    if (planes.isEmpty())
        return std::nullopt;
    return planesImage(planes, type.side, 3, maskOfSide(elements, type.side));
}

bool holdsPixels(const IcnsElement &element)
{
    const IcnsKind kind = icnsTypeOf(element.type).kind;
    return kind == IcnsKind::Png || kind == IcnsKind::Argb || kind == IcnsKind::RunLength24;
}

QString typeName(const QByteArray &type)
{
    return QString::fromLatin1(type.toPercentEncoding(" "));
}

Failure pngNotWhole(const QByteArray &type)
{
    return unreadable(QStringLiteral("holds an element \"%1\" whose PNG stream is not whole").arg(typeName(type)));
}

// The pixels an element would decode to, as its own header or its type
// says, before it is decoded (a side counted up to one past the largest
// read); or why it cannot be read whatever its count: a PNG stream is not
// whole, a JPEG 2000 header is damaged or holds what is not read.
struct Claim
{
    qint64 pixels = 0;
    std::optional<Failure> failure;
};

Claim claimOf(const IcnsElement &element)
{
    const auto counted = [](QSize size) {
        return std::min<qint64>(size.width(), largestSide + 1) * std::min<qint64>(size.height(), largestSide + 1);
    };
    if (isJpeg2000(element.data)) {
        std::optional<Failure> refused = icnsJpeg2000Refusal(element.data);
        const Jpeg2000Header header = refused ? Jpeg2000Header{} : readJpeg2000Header(element.data);
        if (header.failure)
            refused = header.failure;
        if (refused)
            return {0, Failure{refused->kind, QStringLiteral("the icon family holds an element \"%1\" whose JPEG 2000 image %2")
                                                  .arg(typeName(element.type), refused->reason)}};
        return {counted(header.size), std::nullopt};
    }
    if (!hasPngSignature(element.data)) {
        const qint64 side = icnsTypeOf(element.type).side;
        return {side * side, std::nullopt};
    }
    const IconImageHeader header = iconImageHeaderOf(element.data);
    if (!header.found || !pngIsWhole(element.data))
        return {0, pngNotWhole(element.type)};
    return {counted(QSize(int(header.width), int(header.height))), std::nullopt};
}

Failure notWhole(const QByteArray &type)
{
    return unreadable(QStringLiteral("holds an element \"%1\" whose pixels are not whole or too large").arg(typeName(type)));
}

// The elements whose pixels are read, and the first mask of each size, as
// views of the file; or why none is read: the file is damaged, a PNG stream
// is not whole, or they claim more than `pixelLimit` pixels or images. A
// family of millions of elements is walked once, holding only those.
struct PixelElements
{
    std::vector<IcnsElement> elements;
    std::optional<Failure> failure;
};

PixelElements pixelElementsOf(const QByteArray &file, qint64 pixelLimit)
{
    PixelElements found;
    std::vector<IcnsElement> masks;
    QSet<int> maskSides;
    qint64 pixels = 0;
    qint64 jpeg2000Pixels = 0;
    const QStringList damage = walkIcns(file, [&](const IcnsElement &element, qint64) {
        const IcnsType type = icnsTypeOf(element.type);
        if (found.failure)
            return;
        if (type.kind == IcnsKind::Mask8 && !maskSides.contains(type.side)) {
            maskSides.insert(type.side);
            masks.push_back(element);
        }
        if (!holdsPixels(element))
            return;
        Claim claimed = claimOf(element);
        pixels += claimed.pixels;
        jpeg2000Pixels += isJpeg2000(element.data) ? claimed.pixels : 0;
        if (claimed.failure)
            found.failure = std::move(claimed.failure);
        else if (jpeg2000Pixels > maximumJpeg2000Pixels)
            found.failure = Failure{Failure::Kind::TooLarge, QStringLiteral("the icon family holds JPEG 2000 images of more "
                                                                            "than %1 pixels together")
                                                                 .arg(pixelCountInWords(maximumJpeg2000Pixels))};
        else if (pixels > pixelLimit || found.elements.size() >= size_t(maximumIcnsImages))
            found.failure = Failure{Failure::Kind::TooLarge,
                                    pixels > pixelLimit ? QStringLiteral("the icon family holds more than %1 pixels").arg(pixelCountInWords(pixelLimit))
                                                        : QStringLiteral("the icon family holds more than %1 images").arg(maximumIcnsImages)};
        else
            found.elements.push_back(element);
    });
    if (!damage.isEmpty())
        found.failure = unreadable(QStringLiteral("is damaged: %1").arg(damage.join(QStringLiteral("; "))));
    if (found.failure)
        found.elements.clear();
    found.elements.insert(found.elements.end(), masks.begin(), masks.end());
    return found;
}

} // namespace

IcnsImagesLoad readIcnsImages(const QByteArray &file, qint64 pixelLimit)
{
    IcnsImagesLoad load;
    if (!isIcns(file))
        return load;
    const PixelElements found = pixelElementsOf(file, pixelLimit);
    if (found.failure)
        return {{}, found.failure};
    for (const IcnsElement &element : found.elements) {
        if (!holdsPixels(element))
            continue;
        std::optional<QImage> image = elementImage(found.elements, element);
        if (!image)
            return {{}, notWhole(element.type)}; // the images read before it are let go: a failure comes alone
        load.images.push_back({QByteArray(element.type.constData(), element.type.size()), std::move(*image)});
    }
    if (load.images.empty())
        load.failure = unreadable(QStringLiteral("holds no image Tervana reads (1- to 8-bit icons are not read)"));
    return load;
}

std::vector<Picture> icnsPicturesOfEachSize(const std::vector<IcnsImage> &images)
{
    std::vector<Picture> pictures;
    QSet<int> sides;
    for (bool png : {true, false})
        for (const IcnsImage &image : images)
            if ((icnsTypeOf(image.type).kind == IcnsKind::Png) == png && !sides.contains(image.image.width())) {
                sides.insert(image.image.width());
                pictures.emplace_back(image.image);
            }
    return pictures;
}

std::optional<Failure> icnsJpeg2000Refusal(const QByteArray &data)
{
    const Jpeg2000Header header = statedJpeg2000Header(data);
    if (header.failure)
        return header.failure;
    if (header.size.width() <= largestJpeg2000Side && header.size.height() <= largestJpeg2000Side)
        return std::nullopt;
    return Failure{Failure::Kind::TooLarge, QStringLiteral("is %1 x %2 pixels (at most %3 x %3 are read)")
                                                .arg(header.size.width())
                                                .arg(header.size.height())
                                                .arg(largestJpeg2000Side)};
}

std::optional<IcnsPictures> readIcnsPictures(QIODevice &device)
{
    if (!isIcns(device.peek(4)))
        return std::nullopt;
    const qint64 start = device.pos();
    const QByteArray file = readUpTo(device, maximumIcnsBytes + 1);
    device.seek(start);
    if (file.size() > maximumIcnsBytes)
        return IcnsPictures{{}, Failure{Failure::Kind::TooLarge, QStringLiteral("the icon family is larger than %1 MB").arg(maximumIcnsBytes >> 20)}};
    const IcnsImagesLoad load = readIcnsImages(file);
    return IcnsPictures{icnsPicturesOfEachSize(load.images), load.failure};
}

namespace {

// An icon family as one picture: its image that suits the drawing best.
class IcnsReader : public FormatReader
{
public:
    explicit IcnsReader(QIODevice &device)
    {
        IcnsPictures family = readIcnsPictures(device).value_or(IcnsPictures{});
        m_failure = family.failure;
        m_pictures = std::move(family.pictures);
    }

    PictureLoad decodeWhole(QIODevice &, QSize drawSize, DrawDetail) override
    {
        if (m_failure)
            return {Picture(), m_failure};
        const int side = drawSize.isValid() ? std::max(drawSize.width(), drawSize.height()) : 0;
        return {pictureForSide(m_pictures, side)};
    }

private:
    std::vector<Picture> m_pictures;
    std::optional<Failure> m_failure;
};

} // namespace

bool isIcnsFile(QIODevice &, const QByteArray &head)
{
    return isIcns(head);
}

std::unique_ptr<FormatReader> openIcnsReader(QIODevice &device, const QByteArray &)
{
    return std::make_unique<IcnsReader>(device);
}
