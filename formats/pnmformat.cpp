// PBM, PGM and PPM pictures: the size from the header, big binary ones read
// reduced, the rest by Qt's reader.

#include "formatrows.h"
#include "pnmnumbers.h"
#include "reducedreaders.h"

#include <climits>

namespace {

// The width and height of a PBM, PGM or PPM header ("P6 640 480 ..."),
// whose numbers are separated by white space and comments.
QSize portableAnyMapSize(const QByteArray &head)
{
    if (head.size() < 3 || head.at(0) != 'P' || head.at(1) < '1' || head.at(1) > '6')
        return QSize();
    qsizetype at = 2;
    qint64 numbers[2] = {};
    for (qint64 &number : numbers) {
        const std::optional<qint64> read = nextPnmNumber(head, at);
        if (!read)
            return QSize();
        number = *read;
    }
    return QSize(int(qMin<qint64>(numbers[0], INT_MAX)), int(qMin<qint64>(numbers[1], INT_MAX)));
}

class PnmReader : public FormatReader
{
public:
    explicit PnmReader(QIODevice &device)
    {
        // Qt's reader takes at most 32,767 pixels a side.
        const QSize size = portableAnyMapSize(device.peek(1024));
        claim(size, size.isValid() ? 32'767 : 0);
    }

    // Reading costs more than summing, as for a PNG (pngformat.cpp).
    std::optional<Picture> readReduced(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        return pictureOf(readReducedPnm(device, readerDrawSize(claimedSize(), drawSize, detail, 6, 16)));
    }
};

} // namespace

// "P1" to "P6": the header's numbers are read by the reader.
bool isPnm(QIODevice &, const QByteArray &head)
{
    return head.size() >= 2 && head.at(0) == 'P' && head.at(1) >= '1' && head.at(1) <= '6';
}

std::unique_ptr<FormatReader> openPnmReader(QIODevice &device, const QByteArray &)
{
    return std::make_unique<PnmReader>(device);
}
