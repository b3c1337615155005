// The first frame of a GIF, decoded straight into block averages.

#include "reducedreaders.h"

#include "devicereader.h"
#include "giflzw.h"
#include "littleendian.h"

#include <QRect>
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
    QSize size; // the logical screen's
    QRect area; // the first image's, on the screen
    std::vector<QRgb> colours; // premultiplied; the transparent index is 0
    QRgb uncovered = 0; // the screen outside the image
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

// A graphic control extension, after its label: the transparent index it
// names, or -1; false when it is damaged.
bool readGraphicControl(GifBytes &bytes, int &transparent)
{
    const int size = bytes.byte();
    const uchar flags = bytes.byte();
    bytes.skip(2); // delay
    const int index = bytes.byte();
    if (size < 4)
        return false;
    bytes.skip(size - 4);
    transparent = (flags & 1) ? index : -1;
    return true;
}

// What Qt's reader leaves on the screen where the first image does not
// cover it, so that a GIF read here shows as one Qt reads: transparent
// with a transparent index; else the background colour, opaque, of the
// colour table in force (one that is past the table is white); black
// without a global table, or with a local one, which Qt's reader looks up
// before it has read it (in arrays this program's allocator gives zeroed).
QRgb uncoveredColour(int transparent, int background, const std::vector<QRgb> &global, int localColours)
{
    if (transparent >= 0)
        return 0;
    const int colours = localColours > 0 ? localColours : int(global.size());
    if (global.empty())
        return qRgb(0, 0, 0);
    if (background >= colours)
        return qRgb(255, 255, 255);
    return localColours > 0 ? qRgb(0, 0, 0) : global[size_t(background)];
}

// The first image's descriptor, after its separator: taken when it lies
// within the logical screen, with a colour table.
bool readFirstImage(GifBytes &bytes, FirstFrame &frame, const std::vector<QRgb> &global, int transparent, int background)
{
    const int left = bytes.u16();
    const int top = bytes.u16();
    frame.area = QRect(QPoint(left, top), bytes.size());
    const uchar flags = bytes.byte();
    if (frame.area.isEmpty() || !QRect(QPoint(), frame.size).contains(frame.area))
        return false;
    const int localColours = (flags & 0x80) ? 2 << (flags & 7) : 0;
    frame.colours = localColours > 0 ? readColourTable(bytes, localColours) : global;
    frame.uncovered = uncoveredColour(transparent, background, global, localColours);
    frame.interlaced = flags & 0x40;
    frame.minimumCodeSize = bytes.byte();
    if (transparent >= 0 && transparent < int(frame.colours.size()))
        frame.colours[size_t(transparent)] = 0;
    return bytes.ok() && !frame.colours.empty() && frame.minimumCodeSize >= 2 && frame.minimumCodeSize <= 8;
}

// Reads up to the first image's data. Only a first image within the
// logical screen, with a colour table, is taken here.
bool readFirstFrame(GifBytes &bytes, FirstFrame &frame)
{
    bytes.skip(6); // "GIF87a" or "GIF89a", checked by the caller
    frame.size = bytes.size();
    const uchar screen = bytes.byte();
    const int background = bytes.byte();
    bytes.skip(1); // aspect ratio
    std::vector<QRgb> global;
    if (screen & 0x80)
        global = readColourTable(bytes, 2 << (screen & 7));
    int transparent = -1;
    while (bytes.ok()) {
        const uchar block = bytes.byte();
        if (block == 0x2C) // the first image
            return readFirstImage(bytes, frame, global, transparent, background);
        if (block != 0x21)
            return false; // the trailer, or something unknown, before any image
        // An extension; a graphic control may name a transparent index.
        if (bytes.byte() == 0xF9 && !readGraphicControl(bytes, transparent))
            return false;
        bytes.skipSubBlocks();
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
// `blocks`: as indexes when the image covers the screen, else as colours,
// at its place on the screen.
class RowFiller
{
public:
    RowFiller(const FirstFrame &frame, BlockAverager &blocks)
        : m_area(frame.area)
        , m_row(size_t(frame.area.width()))
        , m_rows(frame.area.height(), frame.interlaced)
        , m_blocks(blocks)
        , m_wholeScreen(frame.area == QRect(QPoint(), frame.size))
    {
        // 256 colours, so any index has one; an index past the table marks
        // the data as damaged.
        m_colourCount = int(frame.colours.size());
        std::copy(frame.colours.begin(), frame.colours.end(), m_palette.begin());
        m_blocks.setPalette(m_palette.data());
        if (!m_wholeScreen)
            m_colours.resize(m_row.size());
    }
    bool done() const { return m_rows.done(); }
    bool damaged() const { return m_damaged; }

    // Takes up to `count` pixels, filling rows in turn; pixels past the
    // last row are left.
    void take(const uchar *pixels, size_t count)
    {
        while (count > 0 && !m_rows.done()) {
            const size_t n = std::min(count, size_t(m_area.width() - m_column));
            std::memcpy(m_row.data() + m_column, pixels, n);
            pixels += n;
            count -= n;
            m_column += int(n);
            if (m_column == m_area.width())
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
        if (m_wholeScreen) {
            m_blocks.addIndexedRow(m_rows.row(), m_row.data());
        } else {
            for (size_t x = 0; x < m_row.size(); ++x)
                m_colours[x] = m_palette[m_row[x]];
            m_blocks.addRowPart(m_area.top() + m_rows.row(), m_area.left(), m_colours.data(), m_area.width());
        }
        m_rows.advance();
        m_column = 0;
    }

    QRect m_area;
    std::vector<uchar> m_row;
    std::vector<QRgb> m_colours;
    std::array<QRgb, 256> m_palette{};
    int m_column = 0;
    RowOrder m_rows;
    BlockAverager &m_blocks;
    bool m_wholeScreen;
    int m_colourCount;
    bool m_damaged = false;
};

// The screen around the first image, in the colour Qt's reader leaves
// there: the rows above and below it, and the parts of its rows to its
// left and right.
void addUncovered(const FirstFrame &frame, BlockAverager &blocks)
{
    const std::vector<QRgb> row(size_t(frame.size.width()), frame.uncovered);
    const QRect &area = frame.area;
    for (int y = 0; y < frame.size.height(); ++y) {
        if (y < area.top() || y > area.bottom()) {
            blocks.addRow(y, row.data());
            continue;
        }
        if (area.left() > 0)
            blocks.addRowPart(y, 0, row.data(), area.left());
        if (area.right() + 1 < frame.size.width())
            blocks.addRowPart(y, area.right() + 1, row.data(), frame.size.width() - area.right() - 1);
    }
}

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
    addUncovered(frame, blocks);
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
