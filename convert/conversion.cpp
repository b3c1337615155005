#include "conversion.h"

#include "fileaccess.h"
#include "iconimages.h"
#include "iconsizes.h"
#include "picture.h"

#include <QFile>

namespace {

// The window's square has the background of the classic colour scheme's
// windows in its bands: white.
constexpr QRgb bandColour = qRgb(255, 255, 255);

// The pictures one input gives an icon of several sizes, read with detail
// enough for the largest: an icon's or a cursor's every image, any other
// file's one picture; or the line that says why it cannot be read.
QString loadSources(const QString &input, int largest, std::vector<Picture> &sources)
{
    PictureLoad load = LoadPicture(input, QSize(largest, largest), DrawDetail::Light);
    if (load.failure)
        return cannotOpen(input, *load.failure);
    QFile file;
    IconImagesLoad icon;
    if (!openRegularFile(input, file))
        icon = readIconImages(file, IconImageChoice::OneEachSize);
    if (icon.failure)
        return cannotOpen(input, *icon.failure);
    if (icon.images.empty()) {
        sources.push_back(std::move(load.picture));
        return QString();
    }
    for (QImage &image : icon.images)
        sources.push_back(Picture(std::move(image)));
    return QString();
}

} // namespace

QString resultExtension(const ConversionOptions &options)
{
    return options.output == SquareOutput::Bitmap ? QStringLiteral(".bmp") : QStringLiteral(".ico");
}

Converted convertPicture(const ConversionOptions &options, const QString &input)
{
    if (!options.sizes.empty())
        return packPictures(options, {input});
    const PictureLoad load = LoadPicture(input, QSize(Square::side, Square::side));
    if (load.failure)
        return {QByteArray(), cannotOpen(input, *load.failure)};
    return {encodeSquare(fitIntoSquare(load.picture, bandColour), options.output), QString()};
}

Converted packPictures(const ConversionOptions &options, const QStringList &inputs)
{
    // Each read once, with detail enough for the largest size; every size is
    // made from those.
    std::vector<Picture> sources;
    for (const QString &input : inputs)
        if (const QString failure = loadSources(input, options.sizes.front(), sources); !failure.isEmpty())
            return {QByteArray(), failure};
    // One file's pictures may be enlarged where they must: they are all
    // there is. Of several files given for one icon, one is missing.
    QString error;
    const std::vector<SizeSource> plan = planIconSizes(sources, options.sizes, inputs.size() == 1, error);
    if (plan.empty())
        return {QByteArray(), QStringLiteral("Tervana cannot make the icon: %1").arg(error), true};
    return {encodeIconSizes(sources, plan, options.keyBlack), QString()};
}
