// Pictures decoded whole by Qt's readers, within the limits of
// picturelimits.h and one big decode at a time.

#include "qtdecode.h"

#include "picturelimits.h"
#include "resample.h"

#include <QImageReader>

#include <algorithm>

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

} // namespace

// Qt's readers refuse to allocate more than a limit that is one setting for
// the whole process (its default of 128 MB would refuse a 48-megapixel
// bitmap). The size checks keep every decode within the whole-decode limit,
// so that is the setting, made once.
void allowWholeDecodes()
{
    static std::once_flag once;
    std::call_once(once, [] { QImageReader::setAllocationLimit(int(maximumFullDecodePixels * 4 / (1024 * 1024)) + 1); });
}

namespace {

// Decodes what `reader` reads, holding `heldPixels` pixels meanwhile;
// `stored` is the picture's size as stored, before it is turned as its
// orientation tag says. `finish`, when given, is done to the image read, the
// file beginning at `start` in the device.
PictureLoad readWith(QImageReader &reader, QIODevice &file, qint64 start, const QtReadSteps::Finish &finish, QSize stored,
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

} // namespace

PictureLoad decodeWithQt(QIODevice &file, const QByteArray &knownFormat, const QtReadSteps &steps)
{
    const qint64 start = file.pos();
    QImageReader reader(&file, knownFormat);
    reader.setAutoTransform(true);
    // Asked once: the reader tells the format from where the device stands.
    const QByteArray format = reader.canRead() ? reader.format() : QByteArray();
    if (!readableFormats().contains(format))
        return notAPicture();
    const bool ownSteps = !steps.qtFormat.isEmpty() && format == steps.qtFormat;
    const QSize stored = ownSteps && steps.stored ? *steps.stored : reader.size();
    if (isTooLarge(stored))
        return {Picture(), tooLargeFailure(stored)};
    if (ownSteps && steps.plan) {
        const QtDecodePlan &plan = *steps.plan;
        if (plan.refusal)
            return {Picture(), plan.refusal};
        if (plan.scaled.isValid())
            reader.setScaledSize(plan.scaled);
        return readWith(reader, file, start, steps.finish, stored, plan.heldPixels);
    }
    if (isTooLarge(stored, maximumFullDecodePixels))
        return {Picture(), tooLargeFailure(stored, maximumFullDecodePixels)};
    PictureLoad load = readWith(reader, file, start, ownSteps ? steps.finish : QtReadSteps::Finish(), stored, pixelsOf(stored));
    if (load.failure && ownSteps && steps.whenUnread && file.seek(start))
        if (std::optional<Picture> read = steps.whenUnread(file))
            return {std::move(*read), std::nullopt};
    return load;
}
