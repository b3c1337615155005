// JPEG 2000 pictures, .jp2 files and bare codestreams (.j2k): the size the
// codestream states, read without the decoder; the picture decoded by
// OpenJPEG (jpeg2000.h) at the coarsest of its resolution levels that keeps
// the detail the drawing needs, as a JPEG is decoded at a reduced scale.

#include "fileaccess.h"
#include "formatrows.h"
#include "jpeg2000.h"
#include "picturelimits.h"

#include <algorithm>

namespace {

// The file is read whole into memory for the decoder: at most this much.
constexpr qint64 maximumJpeg2000FileBytes = 256 * 1024 * 1024;

// The decoded pixels kept for each drawn pixel along the picture's longer
// side, as the detail asked says (picture.h).
int pixelsPerDrawnPixel(DrawDetail detail)
{
    return detail == DrawDetail::Fine ? 8 : 4;
}

// How many times the picture's sides can be halved and still keep that
// detail for a drawing of `drawSize`; none when it is shown at its own size.
int halvingsFor(QSize size, QSize drawSize, DrawDetail detail)
{
    if (!drawSize.isValid() || drawSize.isEmpty())
        return 0;
    const qint64 longer = std::max(size.width(), size.height());
    const qint64 needed = qint64(std::max(drawSize.width(), drawSize.height())) * pixelsPerDrawnPixel(detail);
    int halvings = 0;
    while (halvings < 30 && (longer + (qint64(2) << halvings) - 1) >> (halvings + 1) >= needed)
        ++halvings;
    return halvings;
}

// How much of the decoded pixels the picture covers: at a coarser level,
// each pixel stands for a block of 2^n, and the last row and column for
// what is left of one.
QSizeF extentOf(QSize size, QSize decoded)
{
    int halvings = 0;
    while (halvings < 30 && ((qint64(size.width()) + (qint64(1) << halvings) - 1) >> halvings) > decoded.width())
        ++halvings;
    const double block = double(qint64(1) << halvings);
    return QSizeF(size.width() / block, size.height() / block);
}

class Jpeg2000Reader : public FormatReader
{
public:
    explicit Jpeg2000Reader(QIODevice &device)
    {
        // The size marker comes within the first boxes of a .jp2 file.
        claim(statedJpeg2000Header(device.peek(64 * 1024)).size);
    }

    PictureLoad decodeWhole(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        const qint64 start = device.pos();
        const QByteArray data = readUpTo(device, maximumJpeg2000FileBytes + 1);
        device.seek(start);
        if (data.size() > maximumJpeg2000FileBytes)
            return {Picture(), Failure{Failure::Kind::TooLarge, QStringLiteral("it holds more than %1 MB, more than a "
                                                                               "JPEG 2000 picture is read from")
                                                                    .arg(maximumJpeg2000FileBytes >> 20)}};
        const Jpeg2000Header header = statedJpeg2000Header(data);
        if (header.failure)
            return {Picture(), Failure{header.failure->kind, QStringLiteral("it %1").arg(header.failure->reason)}};
        // The decoder sets up every code block of the stated size, whatever
        // level it decodes (a few hundred bytes claiming 16000 x 16000 took
        // 117 MB): the size is held to what a picture is decoded whole at.
        if (isTooLarge(header.size, maximumFullDecodePixels))
            return {Picture(), tooLargeFailure(header.size, maximumFullDecodePixels)};
        const int halvings = halvingsFor(header.size, drawSize, detail);
        Jpeg2000Image decoded = decodeJpeg2000(data, maximumFullDecodePixels, halvings);
        if (decoded.failure)
            return {Picture(), Failure{decoded.failure->kind, QStringLiteral("it %1").arg(decoded.failure->reason)}};
        return {Picture(std::move(decoded.image), header.size, extentOf(header.size, decoded.image.size())), std::nullopt};
    }
};

} // namespace

bool isJpeg2000File(QIODevice &, const QByteArray &head)
{
    return isJpeg2000(head);
}

std::unique_ptr<FormatReader> openJpeg2000Reader(QIODevice &device, const QByteArray &)
{
    return std::make_unique<Jpeg2000Reader>(device);
}
