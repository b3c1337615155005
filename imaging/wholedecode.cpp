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
#include "svgrendering.h"
#include "tgafile.h"


#include <QImageReader>

#include <algorithm>
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
        return {Picture(), tooLargeFailure(stored)};
    return readWith(reader, file, start, format == "ico" && iconNotCursor, stored, scaled.isValid() ? scaled : stored);
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
        return {Picture(), tooLargeFailure(*claimed)};
    const BigDecodeTurn turn(pixelsOf(*claimed));
    TgaDecode decoded = decodeTgaWithoutQt(file);
    if (decoded.failure)
        return {Picture(), std::move(decoded.failure)};
    return {Picture(std::move(decoded.image)), std::nullopt};
}

// An SVG drawing is drawn once, fine enough for every drawing made of it:
// sixteen times finer along each side than the size it is for, up to 1024
// pixels, and each drawing of it area-averaged from that, so that each
// pixel holds how much of it each shape covers; never coarser than the
// size it is for. Shown as it is, it is drawn at its own size, up to the
// same. It keeps its document.
constexpr int drawingFineness = 16;
constexpr int drawingFineSide = 1024;

PictureLoad decodeSvg(QIODevice &file, QSize drawSize)
{
    SvgRead svg = readSvgDocument(file);
    if (svg.failure)
        return {Picture(), std::move(svg.failure)};
    const int longer = drawSize.isValid() ? std::max(drawSize.width(), drawSize.height()) : 0;
    const SvgSize size = longer > 0
                             ? SvgSize{SvgSize::Rule::Fit, std::min(longer * drawingFineness, std::max(drawingFineSide, longer)), longer}
                             : SvgSize{SvgSize::Rule::AtMost, drawingFineSide, 1};
    SvgRendering drawn = renderSvg(svg.xml, size);
    if (drawn.failure)
        return {Picture(), std::move(drawn.failure)};
    if (isTooLarge(drawn.naturalSize))
        return {Picture(), tooLargeFailure(drawn.naturalSize)};
    return {Picture::drawing(std::move(svg.xml), std::move(drawn.image), drawn.naturalSize), std::nullopt,
            std::move(drawn.note)};
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
