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

// How Qt's reader is to decode a JPEG the reduced reader left to it (CMYK,
// damaged, or decoded whole: progressive): at the same scale where one
// keeps detail enough, the size rounded down so that Qt's reader picks
// exactly that scale; and what the decode holds meanwhile, in pixels of
// four bytes, its output and, for a JPEG decoded whole, every coefficient
// of the picture. Or why it is refused: it has too many scans, or holds
// more than the whole-decode limit allows.
struct JpegDecode
{
    QSize scaled;
    qint64 heldPixels = 0;
    std::optional<Failure> refusal;
};

JpegDecode planJpegDecode(QIODevice &file, qint64 start, QSize stored, QSize drawSize, DrawDetail detail)
{
    // Qt's reader has read on since the start: the walk goes back there,
    // and puts the device back for the reader.
    const qint64 resume = file.pos();
    file.seek(start);
    const JpegLayout layout = jpegLayout(file, maximumJpegScans);
    file.seek(resume);
    JpegDecode plan;
    if (layout.scans > maximumJpegScans) {
        plan.refusal = Failure{Failure::Kind::NotAPicture,
                               QStringLiteral("the JPEG has too many scans (more than %1)").arg(maximumJpegScans)};
        return plan;
    }
    const int eighths = stored.isValid() && drawSize.isValid()
                            ? jpegScaleEighths(stored, readerDrawSize(stored, drawSize, detail, 2)) : 0;
    if (eighths > 0)
        plan.scaled = QSize(stored.width() * eighths / 8, stored.height() * eighths / 8);
    plan.heldPixels = pixelsOf(plan.scaled.isValid() ? plan.scaled : stored);
    if (layout.decodedWhole)
        plan.heldPixels += layout.coefficientBytes / 4;
    if ((layout.decodedWhole || !plan.scaled.isValid()) && isTooLarge(stored, maximumFullDecodePixels))
        plan.refusal = tooLargeFailure(stored);
    else if (plan.heldPixels > maximumFullDecodePixels)
        plan.refusal = Failure{Failure::Kind::TooLarge,
                               QStringLiteral("the picture is too large (%1 x %2 pixels, stored in several scans)")
                                   .arg(stored.width())
                                   .arg(stored.height())};
    return plan;
}

// Decodes what `reader` reads, holding `heldPixels` pixels meanwhile;
// `stored` is the picture's size as stored, before it is turned as its
// orientation tag says. An icon's mask is read from `start`, where the file
// begins in the device.
PictureLoad readWith(QImageReader &reader, QIODevice &file, qint64 start, bool icon, QSize stored, qint64 heldPixels)
{
    QSize natural = stored;
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        natural.transpose();
    allowWholeDecodes();
    const BigDecodeTurn turn(heldPixels);
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
    const QSize stored = format == "ico" ? firstIconImageSize(file, start) : reader.size();
    if (isTooLarge(stored))
        return {Picture(), tooLargeFailure(stored)};
    if (format == "jpeg") {
        const JpegDecode plan = planJpegDecode(file, start, stored, drawSize, detail);
        if (plan.refusal)
            return {Picture(), plan.refusal};
        if (plan.scaled.isValid())
            reader.setScaledSize(plan.scaled);
        return readWith(reader, file, start, false, stored, plan.heldPixels);
    }
    if (isTooLarge(stored, maximumFullDecodePixels))
        return {Picture(), tooLargeFailure(stored)};
    return readWith(reader, file, start, format == "ico" && iconNotCursor, stored, pixelsOf(stored));
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
