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
        : m_size(tiffClaimedSize(device).value_or(QSize()))
    {
    }

    QSize claimedSize() const override { return m_size; }

    // Reading costs more than summing, as for a PNG (pngformat.cpp).
    std::optional<Picture> readReduced(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        return pictureOf(readReducedTiff(device, readerDrawSize(m_size, drawSize, detail, 6, 16)));
    }

private:
    QSize m_size;
};

bool recognisesTiff(QIODevice &, const QByteArray &head)
{
    return looksLikeTiff(head.left(4));
}

} // namespace

PictureFormat tiffFormat()
{
    return {QStringLiteral("TIFF"), {"tif", "tiff"}, {}, recognisesTiff, openWith<TiffReader>};
}
