// TGA pictures of the kinds Qt's reader leaves out, decoded here.

#include "tgadecode.h"

#include "devicereader.h"
#include "picturelimits.h"

#include <vector>

namespace {

// A stored colour of 15, 16, 24 or 32 bits (blue first), or a grey level;
// alpha only where the picture says it has some.
QRgb colourOf(const uchar *stored, int bits, bool grey, bool alpha)
{
    if (grey) // with its alpha in a second byte
        return qRgba(stored[0], stored[0], stored[0], bits == 16 && alpha ? stored[1] : 255);
    if (bits == 15 || bits == 16) {
        const int value = stored[0] | stored[1] << 8;
        const auto level = [](int five) { return (five * 255 + 15) / 31; };
        const int a = alpha && bits == 16 ? (value & 0x8000 ? 255 : 0) : 255;
        return qRgba(level((value >> 10) & 31), level((value >> 5) & 31), level(value & 31), a);
    }
    return qRgba(stored[2], stored[1], stored[0], bits == 32 && alpha ? stored[3] : 255);
}

// The colour map's colours, by index as the pixels give it; an index it
// does not hold draws nothing.
std::vector<QRgb> colourMap(DeviceReader &in, const TgaHeader &header, bool alpha)
{
    std::vector<QRgb> colours(256, qRgba(0, 0, 0, 0));
    const int bytes = (header.colourMapEntryBits + 7) / 8;
    uchar stored[4] = {};
    for (int i = 0; i < header.colourMapLength; ++i) {
        if (in.read(stored, bytes) != bytes)
            return {};
        if (const int index = header.colourMapFirst + i; index < 256)
            colours[size_t(index)] = colourOf(stored, header.colourMapEntryBits, false, alpha);
    }
    return colours;
}

// Reads pixels one after another, run-length coded or not; false when the
// data runs out first.
class TgaPixels
{
public:
    TgaPixels(DeviceReader &in, const TgaHeader &header, std::vector<QRgb> colours)
        : m_in(in)
        , m_header(header)
        , m_bytes((header.pixelBits + 7) / 8)
        , m_colours(std::move(colours))
        , m_alpha((header.descriptor & 0x0F) != 0)
    {
    }

    std::optional<QRgb> next()
    {
        if (m_header.coded() && m_left == 0) {
            const std::optional<uchar> packet = m_in.byte();
            if (!packet)
                return std::nullopt;
            m_left = (*packet & 0x7F) + 1;
            m_repeated = *packet & 0x80;
            if (m_repeated && !readOne())
                return std::nullopt;
        }
        if (!m_repeated && !readOne())
            return std::nullopt;
        --m_left;
        return m_colour;
    }

private:
    bool readOne()
    {
        uchar stored[4] = {};
        if (m_in.read(stored, m_bytes) != m_bytes)
            return false;
        m_colour = m_header.mapped() ? m_colours[stored[0]]
                                     : colourOf(stored, m_header.pixelBits, m_header.imageType % 8 == Grey, m_alpha);
        return true;
    }

    DeviceReader &m_in;
    const TgaHeader &m_header;
    int m_bytes;
    std::vector<QRgb> m_colours;
    bool m_alpha;
    int m_left = 0;
    bool m_repeated = false;
    QRgb m_colour = 0;
};

} // namespace

TgaDecode decodeTgaWithoutQt(QIODevice &device, const TgaHeader &header)
{
    const qint64 start = device.pos();
    DeviceReader in(device, start);
    in.moveTo(tgaHeaderBytes + header.idLength);
    std::vector<QRgb> colours = header.mapped() ? colourMap(in, header, (header.descriptor & 0x0F) != 0)
                                                 : std::vector<QRgb>();
    QImage image(header.width, header.height, QImage::Format_ARGB32);
    if (image.isNull() || (header.mapped() && colours.empty())) {
        device.seek(start);
        return {QImage(), image.isNull() ? tooLargeFailure(QSize(header.width, header.height)) : Failure::cutShort()};
    }
    TgaPixels pixels(in, header, std::move(colours));
    const bool topDown = header.descriptor & 0x20;
    const bool rightToLeft = header.descriptor & 0x10;
    for (int row = 0; row < header.height; ++row) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(topDown ? row : header.height - 1 - row));
        for (int x = 0; x < header.width; ++x) {
            const std::optional<QRgb> colour = pixels.next();
            if (!colour) {
                device.seek(start);
                return {QImage(), Failure::cutShort()};
            }
            line[rightToLeft ? header.width - 1 - x : x] = *colour;
        }
    }
    device.seek(start);
    return {std::move(image), std::nullopt};
}
