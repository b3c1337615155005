#include "pngchunks.h"

bool ByteWalker::skip(qint64 bytes)
{
    if (bytes < 0 || bytes > m_bytes.size() - m_at)
        return false;
    m_at += bytes;
    return true;
}

std::optional<quint32> ByteWalker::number(int width, bool bigEndian)
{
    if (width > m_bytes.size() - m_at)
        return std::nullopt;
    quint32 value = 0;
    for (int i = 0; i < width; ++i) {
        const quint32 b = uchar(m_bytes.at(m_at++));
        value = bigEndian ? (value << 8) | b : value | (b << (8 * i));
    }
    return value;
}

bool pngIsWhole(const QByteArray &image)
{
    ByteWalker in(image);
    return walkPngChunks(in, image.size()) == PngChunks::Whole;
}

