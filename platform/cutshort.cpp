#include "cutshort.h"

#include "bmpheader.h"
#include "headerfields.h"

#include <QtEndian>

#include <cstring>
#include <limits>
#include <optional>

namespace {

// Reads a device forward through a buffer, byte by byte or skipping ahead,
// and says when it ran out. Walking a structure of millions of small blocks
// then costs no more than reading the file once.
class Reader
{
public:
    Reader(QIODevice &device, qint64 start)
        : m_device(device)
        , m_position(start)
        , m_size(device.size())
    {
    }

    qint64 position() const { return m_position; }
    qint64 size() const { return m_size; }
    bool has(qint64 bytes) const { return bytes >= 0 && m_position + bytes <= m_size; }

    std::optional<uchar> byte()
    {
        if (m_position >= m_bufferStart + m_buffer.size() || m_position < m_bufferStart) {
            if (!m_device.seek(m_position))
                return std::nullopt;
            m_bufferStart = m_position;
            m_buffer = m_device.read(64 * 1024);
            if (m_buffer.isEmpty())
                return std::nullopt;
        }
        return uchar(m_buffer.at(m_position++ - m_bufferStart));
    }

    // A little-endian or big-endian number of `width` bytes.
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

    void back(qint64 bytes) { m_position -= bytes; }

    bool skip(qint64 bytes)
    {
        if (!has(bytes))
            return false;
        m_position += bytes;
        return true;
    }

    // Moves to the next 0xFF byte; false at the end of the data.
    bool findFF()
    {
        for (;;) {
            if (!byte())
                return false;
            --m_position;
            const qint64 offset = m_position - m_bufferStart;
            const char *found = static_cast<const char *>(
                std::memchr(m_buffer.constData() + offset, 0xFF, size_t(m_buffer.size() - offset)));
            if (found) {
                m_position = m_bufferStart + (found - m_buffer.constData());
                return true;
            }
            m_position = m_bufferStart + m_buffer.size();
        }
    }

private:
    QIODevice &m_device;
    qint64 m_position;
    qint64 m_size;
    QByteArray m_buffer;
    qint64 m_bufferStart = 0;
};

// What a walk found: the structure whole, cut short, or not what the walk
// understands (left to the decoder).
enum class Walk { Whole, CutShort, Unknown };

Walk cutShortUnless(bool whole)
{
    return whole ? Walk::Whole : Walk::CutShort;
}

// Run-length coded rows: pairs of bytes up to the end-of-bitmap pair.
Walk walkBmpRunLengths(Reader &in, bool fourBits)
{
    for (;;) {
        const std::optional<uchar> count = in.byte();
        const std::optional<uchar> value = in.byte();
        if (!count || !value)
            return Walk::CutShort;
        if (*count != 0 || *value == 0)
            continue; // a run, or the end of a row
        if (*value == 1)
            return Walk::Whole; // the end of the bitmap
        if (*value == 2) {
            if (!in.skip(2)) // a move to another pixel
                return Walk::CutShort;
            continue;
        }
        // A stretch of *value pixels stored as they are, padded to 16 bits.
        const qint64 bytes = fourBits ? (*value + 1) / 2 : *value;
        if (!in.skip(bytes + (bytes & 1)))
            return Walk::CutShort;
    }
}

Walk walkBmp(Reader &in, const QByteArray &head)
{
    if (head.size() < 18)
        return Walk::CutShort;
    const BmpHeader header = BmpHeader::from(head);
    if (!in.has(14 + qint64(header.infoSize)))
        return Walk::CutShort;
    const qint64 width = qAbs(header.width);
    const qint64 height = qAbs(header.height);
    switch (header.compression) {
    case 0: // plain rows
    case 3: // plain rows with bit masks
    case 6: {
        const qint64 stride = ((width * header.bits + 31) / 32) * 4; // rows padded to 32 bits
        if (stride > 0 && height > (std::numeric_limits<qint64>::max() - header.pixelOffset) / stride)
            return Walk::CutShort; // more data than any file holds
        return cutShortUnless(in.has(header.pixelOffset + stride * height));
    }
    case 1:
    case 2:
        if (!in.skip(header.pixelOffset))
            return Walk::CutShort;
        return walkBmpRunLengths(in, header.compression == 2);
    default: return Walk::Unknown;
    }
}

// Segments up to the end marker; after each start of scan, the coded data
// runs to the next marker (0xFF followed by anything but 0x00, a fill 0xFF
// or a restart marker).
Walk walkJpeg(Reader &in)
{
    in.skip(2); // start of image
    for (;;) {
        const std::optional<uchar> ff = in.byte();
        if (!ff)
            return Walk::CutShort;
        if (*ff != 0xFF)
            return Walk::Unknown;
        std::optional<uchar> marker = in.byte();
        while (marker && *marker == 0xFF)
            marker = in.byte();
        if (!marker)
            return Walk::CutShort;
        if (*marker == 0xD9)
            return Walk::Whole; // end of image
        if ((*marker >= 0xD0 && *marker <= 0xD7) || *marker == 0x01)
            continue; // markers without a length
        const std::optional<quint32> length = in.number(2, true);
        if (!length || !in.skip(qint64(*length) - 2))
            return Walk::CutShort;
        if (*marker != 0xDA)
            continue;
        for (;;) {
            if (!in.findFF())
                return Walk::CutShort;
            in.skip(1);
            const std::optional<uchar> next = in.byte();
            if (!next)
                return Walk::CutShort;
            if (*next != 0x00 && *next != 0xFF && !(*next >= 0xD0 && *next <= 0xD7)) {
                in.back(2); // the marker's 0xFF
                break;
            }
            if (*next == 0xFF)
                in.back(1); // a fill byte: the next may begin a marker
        }
    }
}

// Sub-blocks, each a length byte and that many bytes, up to an empty one.
bool skipSubBlocks(Reader &in)
{
    for (;;) {
        const std::optional<uchar> length = in.byte();
        if (!length || !in.skip(*length))
            return false;
        if (*length == 0)
            return true;
    }
}

Walk walkGif(Reader &in, const QByteArray &head)
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
            return Walk::Whole; // the trailer
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
            // ... its colours, the code size, and the coded pixels
            if (!in.skip(localColours + 1) || !skipSubBlocks(in))
                return Walk::CutShort;
        } else {
            return Walk::Unknown;
        }
    }
}

// Chunks (length, type, data, check) up to the end chunk.
Walk walkPng(Reader &in)
{
    in.skip(8); // signature
    for (;;) {
        const std::optional<quint32> length = in.number(4, true);
        const std::optional<quint32> type = in.number(4, true);
        if (!length || !type)
            return Walk::CutShort;
        if (*length > 0x7FFFFFFFu)
            return Walk::Unknown;
        if (!in.skip(qint64(*length) + 4))
            return Walk::CutShort;
        if (*type == 0x49454E44u) // "IEND"
            return Walk::Whole;
    }
}

// The directory, and every image it lists.
Walk walkIcon(Reader &in, QIODevice &device, const QByteArray &head)
{
    if (head.size() < 6)
        return Walk::CutShort;
    const int count = fieldAt<quint16>(head, 4);
    if (count == 0)
        return Walk::Unknown;
    const QByteArray directory = device.peek(6 + 16 * count);
    if (directory.size() < 6 + 16 * count)
        return Walk::CutShort;
    for (int i = 0; i < count; ++i) {
        const qint64 bytes = fieldAt<quint32>(directory, 6 + 16 * i + 8);
        const qint64 offset = fieldAt<quint32>(directory, 6 + 16 * i + 12);
        if (!in.has(offset + bytes))
            return Walk::CutShort;
    }
    return Walk::Whole;
}

// A file that ends within the signature that opens a picture format.
bool endsWithinASignature(const QByteArray &head)
{
    static const QByteArray signatures[] = {QByteArray("GIF87a"), QByteArray("GIF89a"),
                                            QByteArray("\x89PNG\r\n\x1A\n"), QByteArray("\0\0\1\0", 4),
                                            QByteArray("\0\0\2\0", 4)};
    for (const QByteArray &signature : signatures)
        if (head.size() >= 2 && head.size() < signature.size() && signature.startsWith(head))
            return true;
    return false;
}

Walk walk(QIODevice &device, qint64 start)
{
    Reader in(device, start);
    const QByteArray head = device.peek(64);
    if (endsWithinASignature(head))
        return Walk::CutShort;
    if (head.startsWith("BM"))
        return walkBmp(in, head);
    if (head.startsWith("\xFF\xD8"))
        return walkJpeg(in);
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return walkGif(in, head);
    if (head.startsWith("\x89PNG\r\n\x1A\n"))
        return walkPng(in);
    if (head.size() >= 4 && head.startsWith(QByteArray("\0\0", 2)) && (head.at(2) == 1 || head.at(2) == 2)
        && head.at(3) == 0)
        return walkIcon(in, device, head);
    return Walk::Unknown;
}

} // namespace

bool isCutShort(QIODevice &device)
{
    const qint64 start = device.pos();
    const Walk found = walk(device, start);
    device.seek(start);
    return found == Walk::CutShort;
}
