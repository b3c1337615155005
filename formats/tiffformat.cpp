// TIFF pictures, their first page: the size from its tags, big ones read
// reduced through libtiff, the rest by Qt's reader, or by libtiff when Qt's
// reader does not take their samples.

#include "formatrows.h"
#include "tifffile.h"

#include <algorithm>

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

// Classic TIFF and BigTIFF, little- or big-endian.
bool recognisesTiff(QIODevice &, const QByteArray &head)
{
    static const QByteArray starts[] = {QByteArray("II*\0", 4), QByteArray("MM\0*", 4), QByteArray("II+\0", 4),
                                        QByteArray("MM\0+", 4)};
    return std::any_of(std::begin(starts), std::end(starts), [&head](const QByteArray &s) { return head.startsWith(s); });
}

} // namespace

PictureFormat tiffFormat()
{
    return {QStringLiteral("TIFF"), {"tif", "tiff"}, {}, recognisesTiff, openWith<TiffReader>};
}
