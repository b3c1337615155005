// PNG pictures: the size from the header chunk, the chunks walked up to the
// end chunk, big ones read reduced through libpng, the rest by Qt's reader.

#include "formatrows.h"
#include "pngchunks.h"
#include "reducedreaders.h"
#include "structurewalk.h"

#include <QtEndian>

#include <climits>
#include <limits>

namespace {

// Chunks (length, type, data, check) up to the end chunk.
Walk walkPng(DeviceReader &in)
{
    switch (walkPngChunks(in, std::numeric_limits<qint64>::max())) {
    case PngChunks::Whole: return Walk::Whole;
    case PngChunks::CutShort: return Walk::CutShort;
    case PngChunks::Unknown: break; // its decoder judges it
    }
    return Walk::Unknown;
}

class PngReader : public FormatReader
{
public:
    // The width and height of the header chunk: big-endian, up to 2^31 - 1.
    // libpng takes at most a million pixels a side.
    explicit PngReader(const QByteArray &head)
    {
        if (head.size() < 24 || head.mid(12, 4) != "IHDR") {
            claim(QSize(), 1'000'000);
            return;
        }
        const auto number = [&head](int at) {
            return int(qMin<quint32>(qFromBigEndian<quint32>(head.constData() + at), INT_MAX));
        };
        claim(QSize(number(16), number(20)), 1'000'000);
    }

    bool isCutShort(QIODevice &device) override
    {
        return walksCutShort(device, walkPng);
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
};

} // namespace

bool isPng(QIODevice &, const QByteArray &head)
{
    return hasPngSignature(head);
}

std::unique_ptr<FormatReader> openPngReader(QIODevice &, const QByteArray &head)
{
    return std::make_unique<PngReader>(head);
}
