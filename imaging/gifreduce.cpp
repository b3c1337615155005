// The first frame of a GIF, decoded straight into block averages.

#include "reducedpicture.h"

#include "headerfields.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

// Reads the file's bytes in order, a chunk at a time, so that only the
// first frame's bytes are ever read; any read past the end marks it failed.
class ByteReader
{
public:
    explicit ByteReader(QIODevice &device)
        : m_device(device)
    {
    }
    bool ok() const { return m_ok; }
    uchar byte()
    {
        if (m_at == m_chunk.size() && !refill()) {
            m_ok = false;
            return 0;
        }
        return uchar(m_chunk.at(m_at++));
    }
    int u16()
    {
        const int low = byte();
        return low | (byte() << 8);
    }
    // Width then height; read in two statements because the order in which
    // a call's arguments are evaluated is unspecified.
    QSize size()
    {
        const int width = u16();
        return QSize(width, u16());
    }
    void skip(int count)
    {
        for (int i = 0; i < count && m_ok; ++i)
            byte();
    }
    // Skips a chain of data sub-blocks up to its zero-length terminator.
    void skipSubBlocks()
    {
        for (int size = byte(); size != 0 && m_ok; size = byte())
            skip(size);
    }

private:
    bool refill()
    {
        constexpr qint64 chunkSize = 64 * 1024;
        m_chunk = m_device.read(chunkSize);
        m_at = 0;
        return !m_chunk.isEmpty();
    }

    QIODevice &m_device;
    QByteArray m_chunk;
    qsizetype m_at = 0;
    bool m_ok = true;
};

// Reads the LZW codes of the image data: packed least significant bit first
// into a chain of sub-blocks, each taken whole into a local buffer.
class CodeReader
{
public:
    explicit CodeReader(ByteReader &bytes)
        : m_bytes(bytes)
    {
    }
    bool read(int width, int &code)
    {
        while (m_bitCount < width) {
            if (m_at == m_size && !nextSubBlock())
                return false; // the data ended before the picture did
            m_bits |= quint32(m_block[size_t(m_at++)]) << m_bitCount;
            m_bitCount += 8;
        }
        code = int(m_bits & ((1u << width) - 1));
        m_bits >>= width;
        m_bitCount -= width;
        return true;
    }

private:
    bool nextSubBlock()
    {
        m_size = m_bytes.byte();
        for (int i = 0; i < m_size; ++i)
            m_block[size_t(i)] = m_bytes.byte();
        m_at = 0;
        return m_size > 0 && m_bytes.ok();
    }

    ByteReader &m_bytes;
    std::array<uchar, 255> m_block{};
    int m_size = 0;
    int m_at = 0;
    quint32 m_bits = 0;
    int m_bitCount = 0;
};

struct FirstFrame
{
    QSize size;
    std::vector<QRgb> colours; // premultiplied; the transparent index is 0
    bool interlaced = false;
    int minimumCodeSize = 0;
};

std::vector<QRgb> readColourTable(ByteReader &bytes, int entries)
{
    std::vector<QRgb> colours(static_cast<size_t>(entries));
    for (QRgb &colour : colours) {
        const int red = bytes.byte();
        const int green = bytes.byte();
        colour = qRgb(red, green, bytes.byte());
    }
    return colours;
}

// Reads up to the first image's data. Only a first image that covers the
// whole logical screen, with a colour table, is taken here.
bool readFirstFrame(ByteReader &bytes, FirstFrame &frame)
{
    bytes.skip(6); // "GIF87a" or "GIF89a", checked by the caller
    frame.size = bytes.size();
    const uchar screen = bytes.byte();
    bytes.skip(2); // background colour index, aspect ratio
    std::vector<QRgb> global;
    if (screen & 0x80)
        global = readColourTable(bytes, 2 << (screen & 7));
    int transparent = -1;
    while (bytes.ok()) {
        const uchar block = bytes.byte();
        if (block == 0x21) { // an extension
            const uchar label = bytes.byte();
            if (label == 0xF9) { // graphic control: may name a transparent index
                const int size = bytes.byte();
                const uchar flags = bytes.byte();
                bytes.skip(2); // delay
                const int index = bytes.byte();
                if (size < 4)
                    return false;
                bytes.skip(size - 4);
                transparent = (flags & 1) ? index : -1;
            }
            bytes.skipSubBlocks();
        } else if (block == 0x2C) { // the first image
            const int left = bytes.u16();
            const int top = bytes.u16();
            const QSize size = bytes.size();
            const uchar flags = bytes.byte();
            if (left != 0 || top != 0 || size != frame.size)
                return false;
            frame.colours = (flags & 0x80) ? readColourTable(bytes, 2 << (flags & 7)) : global;
            frame.interlaced = flags & 0x40;
            frame.minimumCodeSize = bytes.byte();
            if (transparent >= 0 && transparent < int(frame.colours.size()))
                frame.colours[size_t(transparent)] = 0;
            return bytes.ok() && !frame.colours.empty() && frame.minimumCodeSize >= 2
                   && frame.minimumCodeSize <= 8;
        } else {
            return false; // the trailer, or something unknown, before any image
        }
    }
    return false;
}

// Hands out the picture's row numbers in the order the file stores them:
// straight down, or in the four passes of an interlaced picture.
class RowOrder
{
public:
    RowOrder(int height, bool interlaced)
        : m_height(height)
        , m_interlaced(interlaced)
    {
        m_step = interlaced ? 8 : 1;
        settle();
    }
    bool done() const { return m_pass > 3 || (!m_interlaced && m_y >= m_height); }
    int row() const { return m_y; }
    void advance()
    {
        m_y += m_step;
        settle();
    }

private:
    void settle()
    {
        static constexpr int starts[] = {0, 4, 2, 1};
        static constexpr int steps[] = {8, 8, 4, 2};
        while (m_interlaced && m_y >= m_height && ++m_pass <= 3) {
            m_y = starts[m_pass];
            m_step = steps[m_pass];
        }
    }

    int m_height;
    bool m_interlaced;
    int m_pass = 0;
    int m_y = 0;
    int m_step = 1;
};

// Collects decoded palette indexes into rows and hands each full row to
// `blocks`; strings of pixels are copied in whole where they fit.
class RowFiller
{
public:
    RowFiller(const FirstFrame &frame, BlockAverager &blocks)
        : m_width(frame.size.width())
        , m_row(size_t(frame.size.width()))
        , m_rows(frame.size.height(), frame.interlaced)
        , m_blocks(blocks)
    {
        // 256 colours, so any index has one; an index past the table marks
        // the data as damaged.
        m_palette.fill(0);
        std::copy(frame.colours.begin(), frame.colours.end(), m_palette.begin());
        m_valid.fill(false);
        std::fill(m_valid.begin(), m_valid.begin() + qsizetype(frame.colours.size()), true);
    }
    bool done() const { return m_rows.done(); }
    bool damaged() const { return m_damaged; }

    // Room left in the current row.
    int room() const { return m_width - m_column; }
    // Where the next `count` pixels go, when they fit in the row; the
    // caller fills them and then calls advance(count).
    uchar *place() { return m_row.data() + m_column; }
    void advance(int count)
    {
        m_column += count;
        if (m_column == m_width)
            finishRow();
    }

    // Puts the pixels `reversed[count - 1]` down to `reversed[0]`, across
    // rows where they must.
    void put(const uchar *reversed, int count)
    {
        while (count > 0 && !m_rows.done()) {
            const int n = std::min(count, room());
            uchar *out = place();
            for (int i = 0; i < n; ++i)
                out[i] = reversed[count - 1 - i];
            count -= n;
            advance(n);
        }
    }

private:
    void finishRow()
    {
        for (const uchar index : m_row)
            m_damaged = m_damaged || !m_valid[index];
        m_blocks.addIndexedRow(m_rows.row(), m_row.data(), m_palette.data());
        m_rows.advance();
        m_column = 0;
    }

    int m_width;
    std::vector<uchar> m_row;
    int m_column = 0;
    RowOrder m_rows;
    BlockAverager &m_blocks;
    std::array<QRgb, 256> m_palette;
    std::array<bool, 256> m_valid;
    bool m_damaged = false;
};

// Decodes the LZW data into rows handed to `blocks`. False when the data is
// damaged or ends before the last row.
bool decodeRows(ByteReader &bytes, const FirstFrame &frame, BlockAverager &blocks)
{
    constexpr int maximumCodes = 4096;
    const int clear = 1 << frame.minimumCodeSize;
    const int end = clear + 1;
    // Each code's string: its last pixel, the code of the rest, its length.
    std::array<quint16, maximumCodes> prefix{};
    std::array<uchar, maximumCodes> suffix{};
    std::array<quint16, maximumCodes> length{};
    std::array<uchar, maximumCodes + 1> stack{};
    for (int i = 0; i < clear; ++i) {
        suffix[size_t(i)] = uchar(i);
        length[size_t(i)] = 1;
    }

    RowFiller rows(frame, blocks);
    CodeReader codes(bytes);
    int codeSize = frame.minimumCodeSize + 1;
    int next = clear + 2;
    int previous = -1;
    uchar first = 0;
    int code = 0;
    while (!rows.done()) {
        if (!codes.read(codeSize, code) || code == end)
            return false;
        if (code == clear) {
            codeSize = frame.minimumCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code > next || (previous < 0 && code >= clear))
            return false;
        // The one code not yet in the table is the previous string plus its
        // own first pixel.
        const bool unknown = code == next;
        if (unknown && previous < 0)
            return false;
        int walk = unknown ? previous : code;
        const int count = length[size_t(walk)] + (unknown ? 1 : 0);
        if (count <= rows.room()) {
            // Written straight into the row, from its last pixel back.
            uchar *out = rows.place() + count;
            if (unknown)
                *--out = first;
            while (walk >= clear) {
                *--out = suffix[size_t(walk)];
                walk = prefix[size_t(walk)];
            }
            *--out = uchar(walk);
            first = uchar(walk);
            rows.advance(count);
        } else {
            int depth = 0;
            if (unknown)
                stack[size_t(depth++)] = first;
            while (walk >= clear) {
                stack[size_t(depth++)] = suffix[size_t(walk)];
                walk = prefix[size_t(walk)];
            }
            stack[size_t(depth++)] = uchar(walk);
            first = uchar(walk);
            rows.put(stack.data(), depth);
        }
        if (previous >= 0 && next < maximumCodes) {
            prefix[size_t(next)] = quint16(previous);
            suffix[size_t(next)] = first;
            length[size_t(next)] = quint16(length[size_t(previous)] + 1);
            ++next;
            if (next == (1 << codeSize) && codeSize < 12)
                ++codeSize;
        }
        previous = code;
    }
    return !rows.damaged();
}

ReducedPicture decodeFirstFrame(QIODevice &device, int side)
{
    ByteReader reader(device);
    FirstFrame frame;
    if (!readFirstFrame(reader, frame))
        return {};
    BlockAverager blocks(frame.size, side);
    if (!decodeRows(reader, frame, blocks))
        return {};
    return blocks.result();
}

} // namespace

ReducedPicture readReducedGif(QIODevice &device, QSize drawSize)
{
    const QByteArray head = device.peek(10);
    if (device.isSequential() || head.size() < 10 || !(head.startsWith("GIF87a") || head.startsWith("GIF89a")))
        return {};
    const QSize screen(fieldAt<quint16>(head, 6), fieldAt<quint16>(head, 8));
    const int side = reductionBlockSide(screen, drawSize);
    if (side < 2)
        return {};

    const qint64 start = device.pos();
    ReducedPicture reduced = decodeFirstFrame(device, side);
    device.seek(start);
    return reduced;
}
