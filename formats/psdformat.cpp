// Photoshop files (.psd, and .psb for large documents): the picture all
// their layers make together, the composite each file keeps after its
// layers, read here (psdrows.h) whole, or for a small drawing of a big
// picture averaged into blocks as it is read.

#include "formatrows.h"
#include "picturelimits.h"
#include "psdlayout.h"
#include "psdrows.h"
#include "qtdecode.h"
#include "reducedpicture.h"

#include <array>
#include <vector>

namespace {

Failure notReadPsd(const QString &why)
{
    return Failure{Failure::Kind::NotAPicture, QStringLiteral("it is not a picture Tervana can read (%1)").arg(why)};
}

Failure damagedPsd()
{
    return notReadPsd(QStringLiteral("the data of its composite is damaged"));
}

// The premultiplied colours a picture of one channel without transparency
// is summed through: its grey levels, or an indexed picture's colours.
std::array<QRgb, 256> psdPaletteOf(const PsdLayout &layout)
{
    if (layout.mode == PsdIndexed)
        return layout.palette;
    std::array<QRgb, 256> greys{};
    for (int i = 0; i < 256; ++i)
        greys[size_t(i)] = qRgb(i, i, i);
    return greys;
}

// The rows summed into blocks of `block` pixels.
ReducedPicture sumPsdRows(PsdRows &rows, const PsdLayout &layout, QSize block)
{
    BlockAverager blocks(layout.size, block);
    const bool throughPalette = layout.colourChannels == 1 && !layout.alpha;
    const std::array<QRgb, 256> palette = psdPaletteOf(layout);
    blocks.setPalette(palette.data());
    std::vector<QRgb> row(throughPalette ? 0 : size_t(layout.size.width()));
    for (int y = 0; y < layout.size.height(); ++y) {
        if (!rows.next())
            return {};
        if (throughPalette) {
            blocks.addIndexedRow(y, rows.levels(0));
            continue;
        }
        rows.pixels(row.data());
        if (layout.alpha)
            for (QRgb &pixel : row)
                pixel = qPremultiply(pixel);
        blocks.addRow(y, row.data());
    }
    return blocks.result();
}

// Every row of the picture into `image`; false when its data is damaged.
bool readWholePsd(PsdRows &rows, QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        if (!rows.next())
            return false;
        rows.pixels(reinterpret_cast<QRgb *>(image.scanLine(y)));
    }
    return true;
}

class PsdReader : public FormatReader
{
public:
    explicit PsdReader(QIODevice &device, const QByteArray &head)
    {
        claim(psdStatedSize(head), isLargePsd(head) ? psbLongestSide : psdLongestSide);
        const qint64 start = device.pos();
        DeviceReader in(device, start);
        m_parse = parsePsd(in);
        device.seek(start);
    }

    bool isCutShort(QIODevice &device) override
    {
        if (m_parse.cutShort)
            return true;
        return m_parse.layout
               && walksCutShort(device, [this](DeviceReader &in) { return walkPsdComposite(in, *m_parse.layout); });
    }

    // Unpacking costs more than summing, as reading a PNG does.
    std::optional<Picture> readReduced(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        if (!m_parse.layout)
            return std::nullopt;
        const QSize readerSize = readerDrawSize(claimedSize(), drawSize, detail, 6, 16);
        // Read whole, the picture takes 32 bits a pixel.
        const QSize block = streamingBlock(m_parse.layout->size, readerSize, 8, false, streamedDecodeBytes);
        if (!block.isValid())
            return std::nullopt;
        const qint64 start = device.pos();
        PsdRows rows(device, start, *m_parse.layout);
        ReducedPicture reduced = sumPsdRows(rows, *m_parse.layout, block);
        device.seek(start);
        m_damaged = reduced.image.isNull(); // said by the whole decode, which reads nothing again
        if (m_damaged)
            return std::nullopt;
        return Picture(std::move(reduced.image), reduced.naturalSize, reduced.extent);
    }

    PictureLoad decodeWhole(QIODevice &device, QSize, DrawDetail) override
    {
        if (!m_parse.layout)
            return {Picture(), m_parse.cutShort ? Failure::cutShort() : notReadPsd(m_parse.refusal)};
        if (m_damaged)
            return {Picture(), damagedPsd()};
        if (isTooLarge(m_parse.layout->size, maximumFullDecodePixels))
            return {Picture(), tooLargeFailure(m_parse.layout->size, maximumFullDecodePixels)};
        const BigDecodeTurn turn(pixelsOf(m_parse.layout->size));
        QImage image(m_parse.layout->size, m_parse.layout->alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (image.isNull())
            return {Picture(), tooLargeFailure(m_parse.layout->size)};
        const qint64 start = device.pos();
        PsdRows rows(device, start, *m_parse.layout);
        const bool whole = readWholePsd(rows, image);
        device.seek(start);
        if (!whole)
            return {Picture(), damagedPsd()};
        return {Picture(std::move(image)), std::nullopt};
    }

private:
    PsdParse m_parse;
    bool m_damaged = false; // found damaged as it was read reduced
};

} // namespace

bool isPsd(QIODevice &, const QByteArray &head)
{
    return head.startsWith("8BPS");
}

std::unique_ptr<FormatReader> openPsdReader(QIODevice &device, const QByteArray &head)
{
    return std::make_unique<PsdReader>(device, head);
}
