#pragma once

#include <QByteArray>
#include <QIODevice>

#include <algorithm>
#include <cstring>
#include <optional>

// Reads a random-access device forward through a buffer of 64 KB: a byte, a
// number or a block at a time, or skipping ahead, and says when the data
// runs out. Walking a structure of millions of small blocks then costs no
// more than reading the file once. Offsets count from `start`, where the
// file begins in the device.
class DeviceReader
{
public:
    DeviceReader(QIODevice &device, qint64 start)
        : m_device(device)
        , m_start(start)
        , m_position(start)
        , m_size(device.size())
    {
    }

    // Whether the file holds `bytes` more from here.
    bool has(qint64 bytes) const { return bytes >= 0 && bytes <= m_size - m_position; }
    // Whether the file holds everything up to `offset`.
    bool reaches(qint64 offset) const { return offset >= 0 && offset <= m_size - m_start; }
    qint64 offset() const { return m_position - m_start; }
    qint64 absolute(qint64 offset) const { return m_start + offset; }
    void moveTo(qint64 offset) { m_position = m_start + offset; }

    bool skip(qint64 bytes)
    {
        if (!has(bytes))
            return false;
        m_position += bytes;
        return true;
    }
    std::optional<uchar> byte()
    {
        if (!buffered() && !fill())
            return std::nullopt;
        return uchar(m_buffer.at(m_position++ - m_bufferStart));
    }
    // A little-endian or big-endian number of `width` bytes (1 to 4).
    std::optional<quint32> number(int width, bool bigEndian)
    {
        quint32 value = 0;
        for (int i = 0; i < width; ++i) {
            const std::optional<uchar> b = byte();
            if (!b)
                return std::nullopt;
            value = bigEndian ? (value << 8) | *b : value | (quint32(*b) << (8 * i));
        }
        return value;
    }
    // Copies up to `count` bytes to `out`; fewer only where the data ends.
    qint64 read(uchar *out, qint64 count)
    {
        qint64 copied = 0;
        while (copied < count && (buffered() || fill())) {
            const qint64 at = m_position - m_bufferStart;
            const qint64 n = std::min(count - copied, qint64(m_buffer.size()) - at);
            std::memcpy(out + copied, m_buffer.constData() + at, size_t(n));
            m_position += n;
            copied += n;
        }
        return copied;
    }
    // Moves to the next byte of this value; false at the end of the data.
    bool findByte(uchar value)
    {
        while (buffered() || fill()) {
            const qint64 at = m_position - m_bufferStart;
            const void *found = std::memchr(m_buffer.constData() + at, value, size_t(m_buffer.size() - at));
            if (found) {
                m_position = m_bufferStart + (static_cast<const char *>(found) - m_buffer.constData());
                return true;
            }
            m_position = m_bufferStart + m_buffer.size();
        }
        return false;
    }

private:
    bool buffered() const { return m_position >= m_bufferStart && m_position < m_bufferStart + m_buffer.size(); }
    bool fill()
    {
        if (m_position < 0 || m_position >= m_size || !m_device.seek(m_position))
            return false;
        m_bufferStart = m_position;
        m_buffer = m_device.read(64 * 1024);
        return !m_buffer.isEmpty();
    }

    QIODevice &m_device;
    qint64 m_start;
    qint64 m_position;
    qint64 m_size;
    QByteArray m_buffer;
    qint64 m_bufferStart = 0;
};
