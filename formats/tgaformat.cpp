// TGA pictures: the header parsed once; uncompressed true colour decoded by
// Qt's reader, every other kind here (tgadecode.h).

#include "formatrows.h"
#include "icondirectory.h"
#include "picturelimits.h"
#include "qtdecode.h"
#include "tgadecode.h"
#include "tgawithfooter.h"

std::optional<TgaHeader> tgaHeaderOf(const QByteArray &head)
{
    // A TGA's header has no signature: an icon's directory could pass for
    // one, and is an icon's.
    if (head.size() < tgaHeaderBytes || opensIconFile(head))
        return std::nullopt;
    const TgaHeader header = TgaHeader::from(head);
    if (!header.fieldsAgree())
        return std::nullopt;
    return header;
}

namespace {

class TgaReader : public FormatReader
{
public:
    explicit TgaReader(const QByteArray &head)
        : m_header(*tgaHeaderOf(head))
    {
        claim(QSize(m_header.width, m_header.height));
    }

    PictureLoad decodeWhole(QIODevice &device, QSize, DrawDetail) override
    {
        // An uncompressed file that ends before its pixels do.
        if (!m_header.coded() && device.size() - device.pos() < m_header.pixelsEnd())
            return {Picture(), Failure::cutShort()};
        if (m_header.forQt()) {
            TgaWithFooter tga(device);
            return decodeWithQt(tga, "tga");
        }
        if (isTooLarge(claimedSize(), maximumFullDecodePixels))
            return {Picture(), tooLargeFailure(claimedSize(), maximumFullDecodePixels)};
        const BigDecodeTurn turn(pixelsOf(claimedSize()));
        TgaDecode decoded = decodeTgaWithoutQt(device, m_header);
        if (decoded.failure)
            return {Picture(), std::move(decoded.failure)};
        return {Picture(std::move(decoded.image)), std::nullopt};
    }

private:
    TgaHeader m_header;
};

} // namespace

// A TGA has no signature: its header's fields agree with one another.
bool isTga(QIODevice &, const QByteArray &head)
{
    return tgaHeaderOf(head).has_value();
}

std::unique_ptr<FormatReader> openTgaReader(QIODevice &, const QByteArray &head)
{
    return std::make_unique<TgaReader>(head);
}
