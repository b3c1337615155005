#pragma once

#include <QtGlobal>

#include <array>
#include <cstring>
#include <vector>

// The LZW decoding of a GIF's image data (gifreduce.cpp): the code table,
// and the pixels decoded, which later codes copy from.

// Writes the first `count` pixels of `code`'s string to `out` by walking the
// table from the string's end back to its start.
inline void writeFromTable(uchar *out, int code, const std::array<quint16, 4096> &prefix,
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

    // Hands the new pixels to `rows` (their `take`), then drops what is
    // past the window.
    template<typename Rows>
    void handTo(Rows &rows)
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
