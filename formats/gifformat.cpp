// GIF pictures: the screen's size from the header, the blocks walked up to
// the end of the first image, big ones read reduced, the rest by Qt's
// reader.

#include "formatrows.h"
#include "littleendian.h"
#include "reducedreaders.h"
#include "structurewalk.h"

namespace {

// Sub-blocks, each a length byte and that many bytes, up to an empty one.
bool skipSubBlocks(DeviceReader &in)
{
    for (;;) {
        const std::optional<uchar> length = in.byte();
        if (!length || !in.skip(*length))
            return false;
        if (*length == 0)
            return true;
    }
}

// The blocks up to the end of the first image (the one shown).
Walk walkGif(DeviceReader &in, const QByteArray &head)
{
    if (head.size() < 13)
        return Walk::CutShort;
    const uchar screenFlags = uchar(head.at(10));
    const qint64 globalColours = (screenFlags & 0x80) ? 3 << ((screenFlags & 7) + 1) : 0;
    if (!in.skip(13 + globalColours))
        return Walk::CutShort;
    for (;;) {
        const std::optional<uchar> block = in.byte();
        if (!block)
            return Walk::CutShort;
        if (*block == 0x3B)
            return Walk::Whole; // the trailer, before any image: no picture, the decoder says so
        if (*block == 0x21) { // an extension: its label, then sub-blocks
            if (!in.skip(1) || !skipSubBlocks(in))
                return Walk::CutShort;
        } else if (*block == 0x2C) { // an image: place, size, flags ...
            if (!in.skip(8))
                return Walk::CutShort;
            const std::optional<uchar> flags = in.byte();
            if (!flags)
                return Walk::CutShort;
            const qint64 localColours = (*flags & 0x80) ? 3 << ((*flags & 7) + 1) : 0;
            // ... its colours, the code size and the coded pixels: the first
            // image, the one shown, is whole.
            return cutShortUnless(in.skip(localColours + 1) && skipSubBlocks(in));
        } else {
            return Walk::Unknown;
        }
    }
}

class GifReader : public FormatReader
{
public:
    explicit GifReader(const QByteArray &head)
        : m_head(head)
    {
        if (m_head.size() >= 10)
            claim(QSize(fieldAt<quint16>(m_head, 6), fieldAt<quint16>(m_head, 8)));
    }

    bool isCutShort(QIODevice &device) override
    {
        return walksCutShort(device, [this](DeviceReader &in) { return walkGif(in, m_head); });
    }

    // A GIF is read whole whatever the reduction: four pixels each.
    std::optional<Picture> readReduced(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        return pictureOf(readReducedGif(device, readerDrawSize(claimedSize(), drawSize, detail, 4)));
    }

private:
    QByteArray m_head;
};

} // namespace

bool isGif(QIODevice &, const QByteArray &head)
{
    return head.startsWith("GIF87a") || head.startsWith("GIF89a");
}

std::unique_ptr<FormatReader> openGifReader(QIODevice &, const QByteArray &head)
{
    return std::make_unique<GifReader>(head);
}
