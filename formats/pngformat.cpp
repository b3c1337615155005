// PNG pictures: the size from the header chunk, the chunks walked up to the
// end chunk, big ones read reduced through libpng, the rest by Qt's reader.

#include "formatrows.h"
#include "iconwalk.h"
#include "reducedreaders.h"

#include <QtEndian>

#include <climits>

namespace {

const QByteArray pngSignature = QByteArrayLiteral("\x89PNG\r\n\x1A\n");

class PngReader : public FormatReader
{
public:
    explicit PngReader(QIODevice &device)
        : m_head(device.peek(64))
    {
    }

    // The width and height of the header chunk: big-endian, up to 2^31 - 1.
    QSize claimedSize() const override
    {
        if (m_head.mid(12, 4) != "IHDR" || m_head.size() < 24)
            return QSize();
        const auto number = [this](int at) {
            return int(qMin<quint32>(qFromBigEndian<quint32>(m_head.constData() + at), INT_MAX));
        };
        return QSize(number(16), number(20));
    }

    // libpng takes at most a million pixels a side.
    int longestSide() const override { return 1'000'000; }

    bool isCutShort(QIODevice &device) override
    {
        return walksCutShort(device, [](DeviceReader &in) { return walkPng(in); });
    }

    // Reading a PNG costs more than summing its pixels: it keeps sixteen
    // pixels for each drawn pixel of the square and six for icons of several
    // sizes. The square of a 12000 x 9000 photo is then 58.9 dB from the
    // exact area average (56.8 with eight), its 256-pixel icon 59.4 (54.6
    // with four).
    std::optional<Picture> readReduced(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        return pictureOf(readReducedPng(device, readerDrawSize(claimedSize(), drawSize, detail, 6, 16)));
    }

private:
    QByteArray m_head;
};

bool recognisesPng(QIODevice &, const QByteArray &head)
{
    return head.startsWith(pngSignature);
}

} // namespace

PictureFormat pngFormat()
{
    return {QStringLiteral("PNG"), {"png"}, {pngSignature}, recognisesPng, openWith<PngReader>};
}
