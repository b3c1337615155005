#include "wholedecode.h"

#include "filestructure.h"
#include "iconimages.h"
#include "iconrecords.h"
#include "pictureprobe.h"
#include "picturelimits.h"
#include "reducedpicture.h"
#include "reducedread.h"
#include "resample.h"
#include "runlengthbmp.h"
#include "svgdocument.h"
#include "tgafile.h"
#include "tifffile.h"


#include <QImageReader>
#include <QPainter>

#include <mutex>

namespace {

// Holds the turn of one big decode, for as long as it lives: decodes of
// more than bigDecodePixels wait for one another, smaller ones for nothing.
class BigDecodeTurn
{
public:
    explicit BigDecodeTurn(qint64 pixels)
        : m_lock(turns(), std::defer_lock)
    {
        if (pixels > bigDecodePixels)
            m_lock.lock();
    }

private:
    static std::mutex &turns()
    {
        static std::mutex mutex;
        return mutex;
    }
    std::unique_lock<std::mutex> m_lock;
};

PictureLoad notAPicture(const QString &detail = QString())
{
    const QString reason = QStringLiteral("it is not a picture Tervana can read");
    return {Picture(), Failure{Failure::Kind::NotAPicture,
                               detail.isEmpty() ? reason : QStringLiteral("%1 (%2)").arg(reason, detail)}};
}

// Qt's readers refuse to allocate more than a limit that is one setting for
// the whole process (its default of 128 MB would refuse a 48-megapixel
// bitmap). The size checks keep every decode within the whole-decode limit,
// so that is the setting, made once.
void allowWholeDecodes()
{
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(int(maximumFullDecodePixels * 4 / (1024 * 1024)) + 1); });
}

std::optional<Picture> decodeRunLength(QIODevice &file, QSize claimed)
{
    const BigDecodeTurn turn(pixelsOf(claimed)); // such a bitmap is decoded whole
    QImage image = readRunLengthBmp(file);
    if (image.isNull())
        return std::nullopt;
    return Picture(std::move(image));
}

// The size to ask Qt's reader for, for a JPEG the reduced reader left to it
// (CMYK, or damaged): the same scale, the size rounded down so that Qt's
// reader picks exactly that scale. Invalid when it is to be decoded whole.
QSize jpegDecodeSize(QIODevice &file, qint64 start, QSize stored, QSize drawSize, DrawDetail detail)
{
    if (!stored.isValid() || !drawSize.isValid())
        return QSize();
    // Qt's reader has read on since the start: the walk goes back there,
    // and puts the device back for the reader.
    const qint64 resume = file.pos();
    file.seek(start);
    const bool whole = isJpegDecodedWhole(file);
    file.seek(resume);
    const int eighths = jpegScaleEighths(stored, readerDrawSize(stored, drawSize, detail, 2));
    if (whole || eighths == 0)
        return QSize();
    return QSize(stored.width() * eighths / 8, stored.height() * eighths / 8);
}

// Decodes what `reader` reads, `decoded` pixels; `stored` is the picture's
// size as stored, before it is turned as its orientation tag says. An icon's
// mask is read from `start`, where the file begins in the device.
PictureLoad readWith(QImageReader &reader, QIODevice &file, qint64 start, bool icon, QSize stored, QSize decoded)
{
    QSize natural = stored;
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        natural.transpose();
    allowWholeDecodes();
    const BigDecodeTurn turn(pixelsOf(decoded));
    QImage image = reader.read();
    if (image.isNull())
        return notAPicture(reader.errorString());
    if (!natural.isValid())
        natural = image.size();
    if (icon)
        applyIconMask(file, start, 0, image);
    file.seek(start);
    return {Picture(resamplableImage(std::move(image)), natural), std::nullopt};
}

// A TIFF whose samples Qt's reader does not take (10, 12 or 32 bits,
// floating point), read by libtiff whole.
std::optional<Picture> decodeTiffWithoutQt(QIODevice &file, qint64 start, QSize stored)
{
    const BigDecodeTurn turn(pixelsOf(stored));
    file.seek(start);
    QImage image = readWholeTiff(file);
    if (image.isNull())
        return std::nullopt;
    return Picture(std::move(image));
}

// Decodes the picture with Qt's reader for `knownFormat`, or for the format
// the reader tells from the content.
PictureLoad decodeWithQt(QIODevice &file, QSize drawSize, DrawDetail detail, const QByteArray &knownFormat = {})
{
    const qint64 start = file.pos();
    // A cursor read as a single picture has always been taken as Qt gives
    // it; its other uses read its mask (iconimages.h).
    const bool iconNotCursor = file.peek(4) == QByteArray("\0\0\1\0", 4);
    QImageReader reader(&file, knownFormat);
    reader.setAutoTransform(true);
    // Asked once: the reader tells the format from where the device stands.
    const QByteArray format = reader.canRead() ? reader.format() : QByteArray();
    if (!readableFormats().contains(format))
        return notAPicture();
    const QSize stored = reader.size();
    if (isTooLarge(stored))
        return {Picture(), tooLargeFailure(stored)};
    const QSize scaled = format == "jpeg" ? jpegDecodeSize(file, start, stored, drawSize, detail) : QSize();
    if (scaled.isValid())
        reader.setScaledSize(scaled);
    else if (isTooLarge(stored, maximumFullDecodePixels))
        return {Picture(), tooLargeFailure(stored, maximumFullDecodePixels)};
    PictureLoad load = readWith(reader, file, start, format == "ico" && iconNotCursor, stored, scaled.isValid() ? scaled : stored);
    if (load.failure && format == "tiff")
        if (std::optional<Picture> tiff = decodeTiffWithoutQt(file, start, stored))
            return {std::move(*tiff), std::nullopt};
    return load;
}

PictureLoad decodeTga(QIODevice &file, QSize drawSize, DrawDetail detail)
{
    if (std::optional<Failure> refused = tgaRefusal(file))
        return {Picture(), std::move(refused)};
    if (isTgaForQt(file)) {
        TgaWithFooter tga(file);
        return decodeWithQt(tga, drawSize, detail, "tga");
    }
    const std::optional<QSize> claimed = tgaClaimedSize(file);
    if (isTooLarge(*claimed, maximumFullDecodePixels))
        return {Picture(), tooLargeFailure(*claimed, maximumFullDecodePixels)};
    const BigDecodeTurn turn(pixelsOf(*claimed));
    TgaDecode decoded = decodeTgaWithoutQt(file);
    if (decoded.failure)
        return {Picture(), std::move(decoded.failure)};
    return {Picture(std::move(decoded.image)), std::nullopt};
}

// An SVG drawing keeps its document; its pixels are drawn at the size the
// drawing is for, or at its own size when it is to be shown as it is.
PictureLoad decodeSvg(QIODevice &file, QSize drawSize)
{
    SvgRead svg = readSvgDocument(file);
    if (svg.failure)
        return {Picture(), std::move(svg.failure)};
    const QSize natural = svg.document.size;
    if (isTooLarge(natural) || (!drawSize.isValid() && isTooLarge(natural, maximumFullDecodePixels)))
        return {Picture(), tooLargeFailure(natural)};
    const QSize drawn = drawSize.isValid() ? natural.scaled(drawSize, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)) : natural;
    QImage image(drawn, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawSvg(painter, svg.document.xml, QRectF(image.rect()));
    painter.end();
    return {Picture::drawing(std::move(svg.document.xml), std::move(image), natural), std::nullopt};
}

} // namespace

PictureLoad decodeWholePicture(QIODevice &device, QSize claimed, QSize drawSize, DrawDetail detail)
{
    if (std::optional<Picture> runLength = decodeRunLength(device, claimed))
        return {std::move(*runLength), std::nullopt};
    if (looksLikeSvg(device))
        return decodeSvg(device, drawSize);
    if (tgaClaimedSize(device))
        return decodeTga(device, drawSize, detail);
    return decodeWithQt(device, drawSize, detail);
}
