// TIFF pictures, their first page: the size from its tags, big ones read
// reduced through libtiff, the rest by Qt's reader, or by libtiff when Qt's
// reader does not take their samples.

#include "formatrows.h"
#include "tiffdevice.h"
#include "tifffile.h"

namespace {

class TiffReader : public FormatReader
{
public:
    explicit TiffReader(QIODevice &device)
    {
        claim(tiffClaimedSize(device).value_or(QSize()));
    }

    // Reading costs more than summing, as for a PNG (pngformat.cpp).
    std::optional<Picture> readReduced(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        return pictureOf(readReducedTiff(device, readerDrawSize(claimedSize(), drawSize, detail, 6, 16)));
    }
};

} // namespace

std::unique_ptr<FormatReader> openTiffReader(QIODevice &device)
{
    return std::make_unique<TiffReader>(device);
}
