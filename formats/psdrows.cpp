// The composite of a Photoshop file, read a row at a time.

#include "psdrows.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

// The most bytes of a run-length row unpacked: twice the row is more than
// any writer takes (runs of 128 bytes stored as they are take 129); what a
// row holds beyond is stepped over.
qint64 mostPackedBytes(qint64 rowBytes)
{
    return 2 * rowBytes + 16;
}

// Unpacks a row stored in run lengths ("PackBits": a byte n below 128 is
// followed by n + 1 bytes as they are, one above 128 by a byte repeated
// 257 - n times, and 128 means nothing) into `row`. A run past the row's
// end is cut there; false when the data ends before the row does.
bool unpackRow(const uchar *packed, qint64 packedBytes, uchar *row, qint64 rowBytes)
{
    qint64 at = 0;
    qint64 filled = 0;
    while (at < packedBytes && filled < rowBytes) {
        const int lead = packed[at++];
        if (lead < 128) {
            const qint64 count = std::min({qint64(lead) + 1, packedBytes - at, rowBytes - filled});
            std::memcpy(row + filled, packed + at, size_t(count));
            at += lead + 1;
            filled += count;
        } else if (lead > 128 && at < packedBytes) {
            const qint64 count = std::min(qint64(257 - lead), rowBytes - filled);
            std::memset(row + filled, packed[at++], size_t(count));
            filled += count;
        }
    }
    return filled == rowBytes;
}

// One colour's share of the light under the black ink, both stored as
// 255 minus the ink: (255 - C)(255 - K) / 255, rounded.
uchar underBlack(uchar colour, uchar black)
{
    return uchar((colour * black + 127) / 255);
}

} // namespace

PsdRows::PsdRows(QIODevice &device, qint64 start, const PsdLayout &layout)
    : m_layout(layout)
    , m_row(size_t(layout.rowBytes()))
    , m_packed(layout.runLengths ? size_t(mostPackedBytes(layout.rowBytes())) : 0)
    , m_levels(size_t(layout.channelsRead()), std::vector<uchar>(size_t(layout.size.width())))
{
    openChannels(device, start);
}

// Each channel's data starts after those of the channels before it; in run
// lengths, after the table of every channel's rows' lengths.
void PsdRows::openChannels(QIODevice &device, qint64 start)
{
    const qint64 height = m_layout.size.height();
    const int lengthBytes = m_layout.rowLengthBytes();
    qint64 dataAt = m_layout.dataStart;
    if (m_layout.runLengths)
        dataAt += qint64(m_layout.storedChannels) * height * lengthBytes;
    for (int c = 0; c < m_layout.channelsRead(); ++c) {
        Channel channel{DeviceReader(device, start), DeviceReader(device, start)};
        channel.data.moveTo(dataAt);
        const qint64 lengthsAt = m_layout.dataStart + c * height * lengthBytes;
        channel.lengths.moveTo(lengthsAt);
        if (!m_layout.runLengths) {
            dataAt += height * m_layout.rowBytes();
        } else {
            DeviceReader lengths(device, start);
            lengths.moveTo(lengthsAt);
            for (qint64 y = 0; y < height; ++y)
                dataAt += lengths.number(lengthBytes, true).value_or(0);
        }
        m_channels.push_back(std::move(channel));
    }
}

bool PsdRows::readRow(Channel &channel, uchar *row)
{
    const qint64 rowBytes = m_layout.rowBytes();
    if (!m_layout.runLengths)
        return channel.data.read(row, rowBytes) == rowBytes;
    const std::optional<quint32> length = channel.lengths.number(m_layout.rowLengthBytes(), true);
    if (!length)
        return false;
    const qint64 packedBytes = std::min<qint64>(*length, qint64(m_packed.size()));
    return channel.data.read(m_packed.data(), packedBytes) == packedBytes && channel.data.skip(*length - packedBytes)
           && unpackRow(m_packed.data(), packedBytes, row, rowBytes);
}

// A channel's row as 8-bit levels: 16-bit samples (most significant byte
// first) rounded, a bitmap's bits as white (0) and black (1).
void PsdRows::toLevels(const uchar *row, uchar *levels) const
{
    const int width = m_layout.size.width();
    if (m_layout.depth == 8) {
        std::memcpy(levels, row, size_t(width));
    } else if (m_layout.depth == 16) {
        // round(v * 255 / 65535) is ((v + 128) * 65281) >> 24 for every v of
        // 16 bits: a multiplication of 32 bits instead of a division.
        for (int x = 0; x < width; ++x)
            levels[x] = uchar(((quint32(row[2 * x]) << 8 | row[2 * x + 1]) + 128) * 65281u >> 24);
    } else {
        for (int x = 0; x < width; ++x)
            levels[x] = (row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
    }
}

// The channels' levels as pixels, by the colour mode: one loop a mode, over
// plain pointers, so that the loops cost little for pictures of 400 million
// pixels.
void PsdRows::pixels(QRgb *pixels) const
{
    const int width = m_layout.size.width();
    const uchar *c0 = levels(0);
    const uchar *c1 = m_layout.colourChannels > 1 ? levels(1) : c0;
    const uchar *c2 = m_layout.colourChannels > 2 ? levels(2) : c0;
    if (m_layout.mode == PsdCmyk) {
        const uchar *black = levels(3);
        for (int x = 0; x < width; ++x)
            pixels[x] = qRgb(underBlack(c0[x], black[x]), underBlack(c1[x], black[x]), underBlack(c2[x], black[x]));
    } else if (m_layout.mode == PsdIndexed) {
        for (int x = 0; x < width; ++x)
            pixels[x] = m_layout.palette[c0[x]] | 0xFF000000u;
    } else {
        for (int x = 0; x < width; ++x)
            pixels[x] = qRgb(c0[x], c1[x], c2[x]);
    }
    if (!m_layout.alpha)
        return;
    const uchar *alpha = levels(m_layout.colourChannels);
    for (int x = 0; x < width; ++x)
        pixels[x] = (pixels[x] & 0xFFFFFFu) | QRgb(alpha[x]) << 24;
}

bool PsdRows::next()
{
    for (size_t c = 0; c < m_channels.size(); ++c) {
        if (!readRow(m_channels[c], m_row.data()))
            return false;
        toLevels(m_row.data(), m_levels[c].data());
    }
    return true;
}

Walk walkPsdComposite(DeviceReader &in, const PsdLayout &layout)
{
    const qint64 rows = qint64(layout.storedChannels) * layout.size.height();
    in.moveTo(layout.dataStart);
    if (!layout.runLengths)
        return cutShortUnless(in.has(rows * layout.rowBytes()));
    if (!in.has(rows * layout.rowLengthBytes()))
        return Walk::CutShort;
    qint64 packed = 0;
    for (qint64 row = 0; row < rows; ++row)
        packed += in.number(layout.rowLengthBytes(), true).value_or(0);
    return cutShortUnless(in.has(packed));
}
