// Which reduced reader takes a picture, and at what detail.

#include "reducedread.h"

#include "filestructure.h"
#include "reducedpicture.h"
#include "picturelimits.h"
#include "tifffile.h"


#include <algorithm>

namespace {

// A JPEG photo at the scale that keeps two pixels for each drawn pixel: at
// 1/8 each decoded pixel is already the mean of an 8 x 8 block, and finer
// scales cost decoding time. Its header is read by libjpeg, as Qt's reader
// reads it, orientation tag included; one that is progressive, too large,
// or not a picture at all is left to the whole decode.
ReducedPicture readReducedPhoto(QIODevice &device, QSize drawSize, DrawDetail detail)
{
    if (!drawSize.isValid() || device.peek(2) != "\xFF\xD8")
        return {};
    const JpegHeader header = readJpegHeader(device);
    if (!header.stored.isValid() || header.stored.isEmpty() || isTooLarge(header.stored) || isJpegDecodedWhole(device))
        return {};
    return readReducedJpeg(device, readerDrawSize(header.stored, drawSize, detail, 2), header.orientation);
}

} // namespace

QSize readerDrawSize(QSize size, QSize drawSize, DrawDetail detail, int lightDetail, int fineDetail)
{
    if (!size.isValid() || !drawSize.isValid())
        return drawSize;
    const int perPixel = detail == DrawDetail::Fine ? fineDetail : lightDetail;
    const QSize fitted = size.scaled(drawSize, Qt::KeepAspectRatio);
    return QSize(std::max(1, fitted.width() * perPixel / 8), std::max(1, fitted.height() * perPixel / 8));
}

std::optional<Picture> readReducedPicture(QIODevice &device, QSize claimed, QSize drawSize, DrawDetail detail)
{
    // A bitmap or a GIF is read whole whatever the reduction: four pixels
    // each. A PNG, a TIFF or a PBM/PGM/PPM, whose reading costs more than
    // the summing, keeps sixteen for the square and six for icons of several
    // sizes: the square of a 12000 x 9000 photo is then 58.9 dB from the
    // exact area average (56.8 with eight), its 256-pixel icon 59.4 (54.6
    // with four), and the square of one decoded whole before is within a
    // level or two of what it was.
    const QSize blocksDrawSize = readerDrawSize(claimed, drawSize, detail, 4);
    const QSize finerDrawSize = readerDrawSize(claimed, drawSize, detail, 6, 16);
    ReducedPicture reduced = readReducedBmp(device, blocksDrawSize);
    if (reduced.image.isNull())
        reduced = readReducedGif(device, blocksDrawSize);
    if (reduced.image.isNull())
        reduced = readReducedPng(device, finerDrawSize);
    if (reduced.image.isNull())
        reduced = readReducedTiff(device, finerDrawSize);
    if (reduced.image.isNull())
        reduced = readReducedPnm(device, finerDrawSize);
    if (reduced.image.isNull())
        reduced = readReducedPhoto(device, drawSize, detail);
    if (reduced.image.isNull())
        return std::nullopt;
    return Picture(std::move(reduced.image), reduced.naturalSize, reduced.extent);
}
