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
#include "tifffile.h"


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
        plan.refusal = tooLargeFailure(stored, maximumFullDecodePixels);
    else if (plan.heldPixels > maximumFullDecodePixels)
        plan.refusal = Failure{Failure::Kind::TooLarge,
                               QStringLiteral("the picture is too large (%1 x %2 pixels, stored in several scans; "
                                              "at most %3 million are held while one is read)")
                                   .arg(stored.width())
                                   .arg(stored.height())
                                   .arg(maximumFullDecodePixels / 1'000'000)};
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
        return {Picture(), tooLargeFailure(stored, maximumFullDecodePixels)};
    PictureLoad load = readWith(reader, file, start, format == "ico" && iconNotCursor, stored, pixelsOf(stored));
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
