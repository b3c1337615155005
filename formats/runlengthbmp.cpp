#include "runlengthbmp.h"

#include "bmpheader.h"
#include "devicereader.h"
#include "picturelimits.h"

#include <QList>

#include <optional>


namespace {

// Whether the header is of a bitmap this decoder takes: 4 or 8 bits a
// pixel, coded in runs of the same depth, of a size decoded whole.
bool isRunLength(const BmpHeader &header)
{
    const bool runLength = (header.compression == 1 && header.bits == 8) || (header.compression == 2 && header.bits == 4);
    if (header.infoSize < 40 || !runLength || header.width <= 0 || header.height == 0)
        return false;
    return header.width * qAbs(header.height) <= maximumFullDecodePixels && header.paletteEntries() <= 256;
}

// The palette's colours, opaque; an index past it has no colour and draws
// nothing, as with Qt's reader.
QList<QRgb> readPalette(QIODevice &device, qint64 start, const BmpHeader &header)
{
    QList<QRgb> palette(256, qRgba(0, 0, 0, 0));
    const int colours = int(header.paletteEntries());
    if (!device.seek(start + 14 + qint64(header.infoSize)))
        return {};
    const QByteArray entries = device.read(4 * qint64(colours));
    if (entries.size() != 4 * colours)
        return {};
    for (int i = 0; i < colours; ++i) // stored blue, green, red, unused
        palette[i] = qRgb(uchar(entries[4 * i + 2]), uchar(entries[4 * i + 1]), uchar(entries[4 * i]));
    return palette;
}

// Sets the pixels the codes give, one palette index at a time, where the
// codes have moved to, on an image that starts transparent. A pixel beyond
// the right edge or the last row is dropped, as the format says.
class PixelCursor
{
public:
    PixelCursor(QImage &image, bool bottomUp, const QList<QRgb> &palette)
        : m_image(image)
        , m_bottomUp(bottomUp)
        , m_palette(palette)
    {
    }

    void put(int index)
    {
        if (m_x < m_image.width() && m_row < m_image.height()) {
            const qint64 y = m_bottomUp ? m_image.height() - 1 - m_row : m_row;
            reinterpret_cast<QRgb *>(m_image.scanLine(y))[m_x] = m_palette[index & 0xFF];
        }
        ++m_x;
    }
    void endRow()
    {
        m_x = 0;
        ++m_row;
    }
    void move(int right, int down)
    {
        m_x += right;
        m_row += down;
    }
    bool done() const { return m_row >= m_image.height(); }

private:
    QImage &m_image;
    bool m_bottomUp;
    const QList<QRgb> &m_palette;
    qint64 m_x = 0;
    qint64 m_row = 0;
};

// Reads the coded rows through a buffer, never the whole file at once: a
// file of codes can be as large as the picture. Past the end of the data,
// every byte reads as 0.
void decode(DeviceReader &in, bool fourBits, PixelCursor &pixels)
{
    const auto next = [&in] { return int(in.byte().value_or(0)); };
    while (in.has(2) && !pixels.done()) {
        const int count = next();
        const int value = next();
        if (count > 0) {
            // One index repeated, or two nibbles taken in turn.
            for (int p = 0; p < count; ++p)
                pixels.put(!fourBits ? value : (p % 2 ? value & 0x0F : value >> 4));
        } else if (value == 0) {
            pixels.endRow();
        } else if (value == 1) {
            return; // the end of the bitmap
        } else if (value == 2) {
            const int right = next();
            pixels.move(right, next());
        } else {
            // A stretch stored as it is, padded to 16 bits.
            const int bytes = fourBits ? (value + 1) / 2 : value;
            int stored = 0;
            for (int p = 0; p < value; ++p) {
                if (!fourBits || p % 2 == 0)
                    stored = next();
                pixels.put(!fourBits ? stored : (p % 2 ? stored & 0x0F : stored >> 4));
            }
            if (bytes & 1)
                next();
        }
    }
}

} // namespace

QImage readRunLengthBmp(QIODevice &device)
{
    const QByteArray head = device.peek(64);
    return readRunLengthBmp(device, BmpHeader::from(head), head);
}

QImage readRunLengthBmp(QIODevice &device, const BmpHeader &header, const QByteArray &head)
{
    if (device.isSequential() || head.size() < 54 || !head.startsWith("BM") || !isRunLength(header))
        return {};
    const qint64 start = device.pos();
    const QList<QRgb> palette = readPalette(device, start, header);
    DeviceReader in(device, start);
    in.moveTo(header.pixelDataStart());
    QImage image;
    if (!palette.isEmpty() && in.has(1))
        image = QImage(int(header.width), int(qAbs(header.height)), QImage::Format_ARGB32);
    if (!image.isNull()) {
        image.fill(Qt::transparent);
        PixelCursor pixels(image, header.height > 0, palette);
        decode(in, header.bits == 4, pixels);
    }
    device.seek(start);
    return image;
}
