#include "devicereader.h"

#include <algorithm>
#include <cstring>

DeviceReader::DeviceReader(QIODevice &device, qint64 start)
    : m_device(device)
    , m_start(start)
    , m_position(start)
    , m_size(device.size())
{
}

bool DeviceReader::skip(qint64 bytes)
{
    if (!has(bytes))
        return false;
    m_position += bytes;
    return true;
}

std::optional<quint32> DeviceReader::number(int width, bool bigEndian)
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

qint64 DeviceReader::read(uchar *out, qint64 count)
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

bool DeviceReader::findByte(uchar value)
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

bool DeviceReader::fill()
{
    if (m_position < 0 || m_position >= m_size || !m_device.seek(m_position))
        return false;
    m_bufferStart = m_position;
    m_buffer = m_device.read(64 * 1024);
    return !m_buffer.isEmpty();
}
