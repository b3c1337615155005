// Pictures decoded whole by Qt's readers, within the limits of
// picturelimits.h and one big decode at a time.

#include "qtdecode.h"

#include "jpegstructure.h"
#include "picturelimits.h"
#include "reducedreaders.h"
#include "resample.h"
#include "tifffile.h"

#include <QImageReader>

#include <algorithm>

BigDecodeTurn::BigDecodeTurn(qint64 pixels)
    : m_lock(turns(), std::defer_lock)
{
    if (pixels > bigDecodePixels)
        m_lock.lock();
}

std::mutex &BigDecodeTurn::turns()
{
    static std::mutex mutex;
    return mutex;
}

const QList<QByteArray> &readableFormats()
{
    // The picture kinds the open dialog offers, icons and cursors (a saved
    // icon is read back), and the kinds icons are commonly made from. SVG is
    // read by Tervana's own checks first (svgdocument.h). Other image plugins
    // a system may have are not trusted with files the user did not mean as
    // pictures.
    static const QList<QByteArray> formats = {"jpeg", "gif", "bmp", "ico", "png", "webp", "tiff",
                                              "tga",  "pbm", "pgm", "ppm"};
    return formats;
}

namespace {

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
// orientation tag says. `finish`, when given, is done to the image read, the
// file beginning at `start` in the device.
PictureLoad readWith(QImageReader &reader, QIODevice &file, qint64 start, QtReadSteps::Finish finish, QSize stored,
                     qint64 heldPixels)
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
    if (finish)
        finish(file, start, image);
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

} // namespace

PictureLoad decodeWithQt(QIODevice &file, QSize drawSize, DrawDetail detail, const QByteArray &knownFormat,
                         const QtReadSteps &steps)
{
    const qint64 start = file.pos();
    QImageReader reader(&file, knownFormat);
    reader.setAutoTransform(true);
    // Asked once: the reader tells the format from where the device stands.
    const QByteArray format = reader.canRead() ? reader.format() : QByteArray();
    if (!readableFormats().contains(format))
        return notAPicture();
    const bool ownSteps = !steps.qtFormat.isEmpty() && format == steps.qtFormat;
    const QSize stored = ownSteps && steps.storedSize ? steps.storedSize(file, start) : reader.size();
    if (isTooLarge(stored))
        return {Picture(), tooLargeFailure(stored)};
    if (format == "jpeg") {
        const JpegDecode plan = planJpegDecode(file, start, stored, drawSize, detail);
        if (plan.refusal)
            return {Picture(), plan.refusal};
        if (plan.scaled.isValid())
            reader.setScaledSize(plan.scaled);
        return readWith(reader, file, start, nullptr, stored, plan.heldPixels);
    }
    if (isTooLarge(stored, maximumFullDecodePixels))
        return {Picture(), tooLargeFailure(stored, maximumFullDecodePixels)};
    PictureLoad load = readWith(reader, file, start, ownSteps ? steps.finish : nullptr, stored, pixelsOf(stored));
    if (load.failure && format == "tiff")
        if (std::optional<Picture> tiff = decodeTiffWithoutQt(file, start, stored))
            return {std::move(*tiff), std::nullopt};
    return load;
}
