#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

// The chunks of a PNG stream, a file of its own or an image inside an icon:
// walked from the signature to the end chunk, and the stream's header.

// Reads bytes held in memory forward, a number at a time or skipping ahead,
// in the shape of the reader that walks a file: nothing once they run out.
class ByteWalker
{
public:
    explicit ByteWalker(const QByteArray &bytes) : m_bytes(bytes) {}

    qint64 offset() const { return m_at; }
    bool skip(qint64 bytes);
    // A little-endian or big-endian number of `width` bytes (1 to 4).
    std::optional<quint32> number(int width, bool bigEndian);

private:
    const QByteArray &m_bytes;
    qint64 m_at = 0;
};

enum class PngChunks {
    Whole,
    CutShort,
    // A chunk longer than the format allows, or one that reaches past `end`:
    // its decoder judges it.
    Unknown,
};

// Walks a PNG stream's chunks (length, type, data, check) from its signature
// up to the end chunk, which must come by `end` (an icon's image ends where
// its entry says). `in` stands at the signature; it offers offset(),
// skip(bytes) and number(width, bigEndian) as ByteWalker does.
template<typename Walker>
PngChunks walkPngChunks(Walker &in, qint64 end)
{
    in.skip(8); // the signature
    for (;;) {
        const std::optional<quint32> length = in.number(4, true);
        const std::optional<quint32> type = in.number(4, true);
        if (!length || !type)
            return PngChunks::CutShort;
        if (*length > 0x7FFFFFFFu)
            return PngChunks::Unknown;
        if (!in.skip(qint64(*length) + 4))
            return PngChunks::CutShort;
        if (in.offset() > end)
            return PngChunks::Unknown;
        if (*type == 0x49454E44u) // "IEND"
            return PngChunks::Whole;
    }
}

// Whether a PNG stream's chunks run whole from its signature to its end
// chunk within `image`.
bool pngIsWhole(const QByteArray &image);

// Whether `bytes` begin with a PNG stream's signature.
inline bool hasPngSignature(const QByteArray &bytes)
{
    return bytes.startsWith(QByteArray("\x89PNG\r\n\x1A\n", 8));
}
