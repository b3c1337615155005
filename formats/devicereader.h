#pragma once

#include <QByteArray>
#include <QIODevice>

#include <optional>

// Reads a random-access device forward through a buffer of 64 KB: a byte, a
// number or a block at a time, or skipping ahead, and says when the data
// runs out. Walking a structure of millions of small blocks then costs no
// more than reading the file once. Offsets count from `start`, where the
// file begins in the device.
class DeviceReader
{
public:
    DeviceReader(QIODevice &device, qint64 start);

    // Whether the file holds `bytes` more from here.
    bool has(qint64 bytes) const { return bytes >= 0 && bytes <= m_size - m_position; }
    // Whether the file holds everything up to `offset`.
    bool reaches(qint64 offset) const { return offset >= 0 && offset <= m_size - m_start; }
    qint64 offset() const { return m_position - m_start; }
    qint64 absolute(qint64 offset) const { return m_start + offset; }
    void moveTo(qint64 offset) { m_position = m_start + offset; }

    bool skip(qint64 bytes);
    std::optional<uchar> byte()
    {
        if (!buffered() && !fill())
            return std::nullopt;
        return uchar(m_buffer.at(m_position++ - m_bufferStart));
    }
    // A little-endian or big-endian number of `width` bytes (1 to 4).
    std::optional<quint32> number(int width, bool bigEndian);
    // Copies up to `count` bytes to `out`; fewer only where the data ends.
    qint64 read(uchar *out, qint64 count);
    // Moves to the next byte of this value; false at the end of the data.
    bool findByte(uchar value);

private:
    bool buffered() const { return m_position >= m_bufferStart && m_position < m_bufferStart + m_buffer.size(); }
    bool fill();

    QIODevice &m_device;
    qint64 m_start;
    qint64 m_position;
    qint64 m_size;
    QByteArray m_buffer;
    qint64 m_bufferStart = 0;
};
