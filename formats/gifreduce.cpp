// The first frame of a GIF, decoded straight into block averages.

#include "reducedreaders.h"

#include "devicereader.h"
#include "littleendian.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

// The GIF's bytes in order, through the buffered reader. A read past the
// end gives 0 and marks the reader failed, so that a run of reads is checked
// once, at its end.
class GifBytes
{
public:
    explicit GifBytes(QIODevice &device)
        : m_in(device, device.pos())
    {
    }
    bool ok() const { return m_ok; }
    uchar byte()
    {
        const std::optional<uchar> b = m_in.byte();
        m_ok = m_ok && b;
        return b.value_or(0);
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
    // Copies up to `count` bytes to `out`; fewer only at the file's end.
    int read(uchar *out, int count)
    {
        const qint64 copied = m_in.read(out, count);
        m_ok = m_ok && copied == count;
        return int(copied);
    }
    void skip(int count) { m_ok = m_ok && m_in.skip(count); }
    // Skips a chain of data sub-blocks up to its zero-length terminator.
    void skipSubBlocks()
    {
        for (int size = byte(); size != 0 && m_ok; size = byte())
            skip(size);
    }

private:
    DeviceReader m_in;
    bool m_ok = true;
};

// Reads the LZW codes of the image data: packed least significant bit first
// into a chain of sub-blocks. The sub-blocks' contents are gathered into one
// buffer, some at a time, and the codes read from it through a 64-bit bit
// buffer that takes in up to seven bytes at once.
class CodeReader
{
public:
    explicit CodeReader(GifBytes &bytes)
        : m_bytes(bytes)
    {
    }
    bool read(int width, int &code)
    {
        if (m_bitCount < width && !fill(width))
            return false; // the data ended before the picture did
        code = int(m_bits & ((1u << width) - 1));
        m_bits >>= width;
        m_bitCount -= width;
        return true;
    }

private:
    bool fill(int width)
    {
        if (m_at + 8 > m_data.size())
            gather();
        if (m_at + 8 <= m_data.size()) {
            // The bits above m_bitCount may already hold the bytes that
            // follow; loading them again at the same place changes nothing.
            quint64 word;
            std::memcpy(&word, m_data.data() + m_at, sizeof word);
            m_bits |= qFromLittleEndian(word) << m_bitCount;
            m_at += size_t((63 - m_bitCount) / 8);
            m_bitCount |= 56;
            return true;
        }
        while (m_bitCount < width && m_at < m_data.size()) {
            m_bits |= quint64(m_data[m_at++]) << m_bitCount;
            m_bitCount += 8;
        }
        return m_bitCount >= width;
    }

    // Keeps the bytes not yet read and appends the next sub-blocks.
    void gather()
    {
        m_data.erase(m_data.begin(), m_data.begin() + qsizetype(m_at));
        m_at = 0;
        constexpr size_t enough = 64 * 1024;
        while (!m_ended && m_data.size() < enough) {
            const int size = m_bytes.byte();
            if (size == 0 || !m_bytes.ok()) {
                m_ended = true;
                break;
            }
            const size_t old = m_data.size();
            m_data.resize(old + size_t(size));
            if (m_bytes.read(m_data.data() + old, size) != size) {
                m_data.resize(old);
                m_ended = true;
            }
        }
    }

    GifBytes &m_bytes;
    std::vector<uchar> m_data;
    size_t m_at = 0;
    bool m_ended = false;
    quint64 m_bits = 0;
    int m_bitCount = 0;
};

struct FirstFrame
{
    QSize size;
    std::vector<QRgb> colours; // premultiplied; the transparent index is 0
    bool interlaced = false;
    int minimumCodeSize = 0;
};

std::vector<QRgb> readColourTable(GifBytes &bytes, int entries)
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
bool readFirstFrame(GifBytes &bytes, FirstFrame &frame)
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
// `blocks`.
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
        m_colourCount = int(frame.colours.size());
        std::array<QRgb, 256> palette{};
        std::copy(frame.colours.begin(), frame.colours.end(), palette.begin());
        m_blocks.setPalette(palette.data());
    }
    bool done() const { return m_rows.done(); }
    bool damaged() const { return m_damaged; }

    // Takes up to `count` pixels, filling rows in turn; pixels past the
    // last row are left.
    void take(const uchar *pixels, size_t count)
    {
        while (count > 0 && !m_rows.done()) {
            const size_t n = std::min(count, size_t(m_width - m_column));
            std::memcpy(m_row.data() + m_column, pixels, n);
            pixels += n;
            count -= n;
            m_column += int(n);
            if (m_column == m_width)
                finishRow();
        }
    }

private:
    void finishRow()
    {
        uchar highest = 0;
        for (const uchar index : m_row)
            highest = std::max(highest, index);
        m_damaged = m_damaged || highest >= m_colourCount;
        m_blocks.addIndexedRow(m_rows.row(), m_row.data());
        m_rows.advance();
        m_column = 0;
    }

    int m_width;
    std::vector<uchar> m_row;
    int m_column = 0;
    RowOrder m_rows;
    BlockAverager &m_blocks;
    int m_colourCount;
    bool m_damaged = false;
};

// Writes the first `count` pixels of `code`'s string to `out` by walking the
// table from the string's end back to its start.
void writeFromTable(uchar *out, int code, const std::array<quint16, 4096> &prefix,
                    const std::array<uchar, 4096> &suffix, int clear, size_t count)
{
    uchar *at = out + count;
    while (code >= clear) {
        *--at = suffix[size_t(code)];
        code = prefix[size_t(code)];
    }
    *--at = uchar(code);
}

// The decoded pixels of a frame: appended at the end, handed to the rows a
// batch at a time, and kept for a while after, because every code's string
// is a copy of pixels decoded earlier.
class PixelHistory
{
public:
    // How far back strings are copied from; an older one is rebuilt from
    // the code table instead.
    static constexpr size_t window = 1 << 20;
    static constexpr size_t batch = 64 * 1024;
    // The longest string: the table holds 4096 codes.
    static constexpr size_t longest = 4096;

    PixelHistory()
        : m_pixels(window + batch + longest + 16)
    {
    }
    // The position of the next pixel, counted from the frame's first.
    qint64 end() const { return m_start + qint64(m_filled); }
    bool batchFull() const { return m_filled - m_handed >= batch; }
    bool holds(qint64 position) const { return position >= m_start; }
    uchar at(qint64 position) const { return m_pixels[size_t(position - m_start)]; }

    void append(uchar pixel) { m_pixels[m_filled++] = pixel; }
    // Appends the `count` pixels that start at `position`, which it holds;
    // they may run on into the pixels being appended (a string that repeats
    // its own start).
    void appendCopy(qint64 position, size_t count)
    {
        const uchar *from = m_pixels.data() + (position - m_start);
        uchar *to = m_pixels.data() + m_filled;
        if (from + count <= to && count <= 16) {
            uchar chunk[16]; // one load and one store; the room after is spare
            std::memcpy(chunk, from, sizeof chunk);
            std::memcpy(to, chunk, sizeof chunk);
        } else if (from + count <= to) {
            std::memcpy(to, from, count);
        } else {
            for (size_t i = 0; i < count; ++i)
                to[i] = from[i];
        }
        m_filled += count;
    }
    // Room for `count` pixels to be written from the end by the caller.
    uchar *reserve(size_t count)
    {
        uchar *at = m_pixels.data() + m_filled;
        m_filled += count;
        return at;
    }

    // Hands the new pixels to `rows`, then drops what is past the window.
    void handTo(RowFiller &rows)
    {
        rows.take(m_pixels.data() + m_handed, m_filled - m_handed);
        m_handed = m_filled;
        if (m_filled > window) {
            const size_t dropped = m_filled - window;
            std::memmove(m_pixels.data(), m_pixels.data() + dropped, window);
            m_start += qint64(dropped);
            m_filled -= dropped;
            m_handed -= dropped;
        }
    }

private:
    std::vector<uchar> m_pixels;
    qint64 m_start = 0; // the position of m_pixels[0]
    size_t m_filled = 0;
    size_t m_handed = 0;
};

// The LZW code table of a frame, and the strings its codes stand for:
// where each was decoded last, its length, and (for strings older than the
// history) its last pixel and the code of the rest.
class CodeTable
{
public:
    explicit CodeTable(int minimumCodeSize)
        : m_minimumCodeSize(minimumCodeSize)
        , m_clear(1 << minimumCodeSize)
    {
        for (int i = 0; i < m_clear; ++i) {
            m_suffix[size_t(i)] = uchar(i);
            m_length[size_t(i)] = 1;
        }
        reset();
    }
    int codeSize() const { return m_codeSize; }
    bool isClear(int code) const { return code == m_clear; }
    // Whether `code` may come next; if not, the data ends or is damaged here.
    bool accepts(int code) const { return code != m_clear + 1 && code <= m_next && !(m_previous < 0 && code > m_clear); }
    void reset()
    {
        m_codeSize = m_minimumCodeSize + 1;
        m_next = m_clear + 2;
        m_previous = -1;
    }
    // Appends the string `code` stands for to `pixels`, and adds the code
    // that string and the one before make.
    void decode(int code, PixelHistory &pixels)
    {
        const qint64 at = pixels.end();
        appendString(code, pixels);
        if (code == m_next) // its last pixel is its first
            *(pixels.reserve(0) - 1) = pixels.at(at);
        if (m_previous >= 0 && m_next < maximumCodes)
            addCode(pixels.at(at));
        m_previous = code;
        m_previousAt = at;
    }

private:
    static constexpr int maximumCodes = 4096;

    void appendString(int code, PixelHistory &pixels) const
    {
        if (code < m_clear) {
            pixels.append(uchar(code));
        } else if (code == m_next) {
            // The one code not yet in the table: the previous string and
            // then its own first pixel.
            const size_t count = m_length[size_t(m_previous)] + 1u;
            if (pixels.holds(m_previousAt))
                pixels.appendCopy(m_previousAt, count);
            else
                writeFromTable(pixels.reserve(count), m_previous, m_prefix, m_suffix, m_clear, count - 1);
        } else if (pixels.holds(m_position[size_t(code)])) {
            pixels.appendCopy(m_position[size_t(code)], m_length[size_t(code)]);
        } else {
            writeFromTable(pixels.reserve(m_length[size_t(code)]), code, m_prefix, m_suffix, m_clear,
                           m_length[size_t(code)]);
        }
    }
    void addCode(uchar firstPixel)
    {
        m_position[size_t(m_next)] = m_previousAt;
        m_prefix[size_t(m_next)] = quint16(m_previous);
        m_suffix[size_t(m_next)] = firstPixel;
        m_length[size_t(m_next)] = quint16(m_length[size_t(m_previous)] + 1);
        ++m_next;
        if (m_next == (1 << m_codeSize) && m_codeSize < 12)
            ++m_codeSize;
    }

    int m_minimumCodeSize;
    int m_clear;
    int m_codeSize = 0;
    int m_next = 0;
    int m_previous = -1;
    qint64 m_previousAt = 0;
    std::array<qint64, maximumCodes> m_position{};
    std::array<quint16, maximumCodes> m_length{};
    std::array<quint16, maximumCodes> m_prefix{};
    std::array<uchar, maximumCodes> m_suffix{};
};

// Decodes the LZW data into rows handed to `blocks`. False when the data is
// damaged or ends before the last row.
bool decodeRows(GifBytes &bytes, const FirstFrame &frame, BlockAverager &blocks)
{
    CodeTable table(frame.minimumCodeSize);
    PixelHistory pixels;
    RowFiller rows(frame, blocks);
    CodeReader codes(bytes);
    bool ended = false; // no more pixels: the data ends, or is damaged here
    while (!ended && !rows.done()) {
        while (!ended && !pixels.batchFull()) {
            int code = 0;
            if (!codes.read(table.codeSize(), code) || !table.accepts(code))
                ended = true;
            else if (table.isClear(code))
                table.reset();
            else
                table.decode(code, pixels);
        }
        pixels.handTo(rows);
    }
    return rows.done() && !rows.damaged();
}

ReducedPicture decodeFirstFrame(QIODevice &device, QSize block)
{
    GifBytes reader(device);
    FirstFrame frame;
    if (!readFirstFrame(reader, frame))
        return {};
    BlockAverager blocks(frame.size, block);
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
    const QSize block = reductionBlock(screen, drawSize);
    if (block == QSize(1, 1))
        return {};

    const qint64 start = device.pos();
    ReducedPicture reduced = decodeFirstFrame(device, block);
    device.seek(start);
    return reduced;
}
