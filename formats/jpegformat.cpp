// JPEG pictures: the segments walked up to the end marker, sequential
// photos read reduced through libjpeg, the rest by Qt's reader.

#include "formatrows.h"
#include "jpegstructure.h"
#include "picturelimits.h"
#include "reducedreaders.h"

namespace {

class JpegReader : public FormatReader
{
public:
    bool isCutShort(QIODevice &device) override { return walksCutShort(device, walkJpeg); }

    // A photo at the scale that keeps two pixels for each drawn pixel: at
    // 1/8 each decoded pixel is already the mean of an 8 x 8 block, and
    // finer scales cost decoding time. Its header is read by libjpeg, as
    // Qt's reader reads it, orientation tag included; one that is
    // progressive, too large, or not a picture at all is left to the whole
    // decode.
    std::optional<Picture> readReduced(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        if (!drawSize.isValid())
            return std::nullopt;
        const JpegHeader header = readJpegHeader(device);
        if (!header.stored.isValid() || header.stored.isEmpty() || isTooLarge(header.stored)
            || isJpegDecodedWhole(device))
            return std::nullopt;
        return pictureOf(readReducedJpeg(device, readerDrawSize(header.stored, drawSize, detail, 2), header.orientation));
    }
};

} // namespace

std::unique_ptr<FormatReader> openJpegReader(QIODevice &)
{
    return std::make_unique<JpegReader>();
}
