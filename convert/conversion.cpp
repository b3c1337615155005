#include "conversion.h"

#include "iconsizes.h"
#include "picture.h"

namespace {

// The window's square has the background of the classic colour scheme's
// windows in its bands: white.
constexpr QRgb bandColour = qRgb(255, 255, 255);

} // namespace

QString resultExtension(const ConversionOptions &options)
{
    return options.output == SquareOutput::Bitmap ? QStringLiteral(".bmp") : QStringLiteral(".ico");
}

Converted convertPicture(const ConversionOptions &options, const QString &input)
{
    if (!options.sizes.empty()) {
        // Read once, with detail enough for the largest size; every size is
        // made from that.
        const int largest = options.sizes.front();
        const PictureLoad load = LoadPicture(input, QSize(largest, largest), DrawDetail::Light);
        if (load.failure)
            return {QByteArray(), cannotOpen(input, *load.failure)};
        return {encodeIconSizes(load.picture, options.sizes, options.keyBlack), QString()};
    }
    const PictureLoad load = LoadPicture(input, QSize(Square::side, Square::side));
    if (load.failure)
        return {QByteArray(), cannotOpen(input, *load.failure)};
    return {encodeSquare(fitIntoSquare(load.picture, bandColour), options.output), QString()};
}
