// GIF pictures: the screen's size from the header, the blocks walked up to
// the end of the first image, big ones read reduced, the rest by Qt's
// reader.

#include "gifformat.h"

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

// An image's delay, in milliseconds, from its graphic control extension
// (the label 0xF9 read): its sub-block of four bytes (flags, the delay in
// hundredths of a second, the transparent colour), then the terminator.
std::optional<int> controlDelay(DeviceReader &in)
{
    const std::optional<uchar> size = in.byte();
    const std::optional<uchar> flags = in.byte();
    const std::optional<quint32> hundredths = in.number(2, false);
    if (!size || !flags || !hundredths || *size < 3 || !in.skip(*size - 3) || !skipSubBlocks(in))
        return std::nullopt;
    return int(*hundredths) * 10;
}

// Skips an image: its place, size and flags, its colours, its code size
// and its coded pixels.
bool skipImage(DeviceReader &in)
{
    if (!in.skip(8))
        return false;
    const std::optional<uchar> flags = in.byte();
    const qint64 localColours = flags && (*flags & 0x80) ? 3 << ((*flags & 7) + 1) : 0;
    return flags && in.skip(localColours + 1) && skipSubBlocks(in);
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

std::vector<int> gifFrameDelays(QIODevice &device, int limit)
{
    const qint64 start = device.pos();
    const QByteArray head = device.peek(13);
    std::vector<int> delays;
    DeviceReader in(device, start);
    const qint64 globalColours = head.size() == 13 && (uchar(head.at(10)) & 0x80) ? 3 << ((uchar(head.at(10)) & 7) + 1) : 0;
    int pending = 0; // the delay the next image takes: 0 without a control extension
    bool readable = head.size() == 13 && in.skip(13 + globalColours);
    while (readable && int(delays.size()) < limit) {
        const std::optional<uchar> block = in.byte();
        const std::optional<uchar> label = block == 0x21 ? in.byte() : std::nullopt;
        if (block == 0x21 && label == 0xF9) {
            const std::optional<int> delay = controlDelay(in);
            readable = delay.has_value();
            pending = delay.value_or(0);
        } else if (block == 0x21) {
            readable = label && skipSubBlocks(in);
        } else if (block == 0x2C) {
            readable = skipImage(in);
            delays.push_back(pending);
            pending = 0;
        } else {
            readable = false; // the trailer, or what no decoder reads
        }
    }
    device.seek(start);
    return delays;
}
