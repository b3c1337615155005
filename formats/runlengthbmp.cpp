#include "runlengthbmp.h"

#include "bmpheader.h"
#include "devicereader.h"
#include "picturelimits.h"

#include <QList>


namespace {

struct RunLengthLayout
{
    int width = 0;
    int height = 0;
    bool bottomUp = true;
    bool fourBits = false;
    qint64 paletteOffset = 0;
    int colours = 0;
    qint64 pixelOffset = 0;
};

bool readLayout(const QByteArray &head, RunLengthLayout &layout)
{
    if (head.size() < 54 || !head.startsWith("BM"))
        return false;
    const BmpHeader header = BmpHeader::from(head);
    const bool runLength = (header.compression == 1 && header.bits == 8) || (header.compression == 2 && header.bits == 4);
    if (header.infoSize < 40 || !runLength || header.width <= 0 || header.height == 0)
        return false;
    if (header.width * qAbs(header.height) > maximumFullDecodePixels || header.paletteEntries() > 256)
        return false;
    layout.width = int(header.width);
    layout.height = int(qAbs(header.height));
    layout.bottomUp = header.height > 0;
    layout.fourBits = header.bits == 4;
    layout.paletteOffset = 14 + qint64(header.infoSize);
    layout.colours = int(header.paletteEntries());
    layout.pixelOffset = header.pixelDataStart();
    return true;
}

// The palette's colours, opaque; an index past it has no colour and draws
// nothing, as with Qt's reader.
QList<QRgb> readPalette(QIODevice &device, qint64 start, const RunLengthLayout &layout)
{
    QList<QRgb> palette(256, qRgba(0, 0, 0, 0));
    if (!device.seek(start + layout.paletteOffset))
        return {};
    const QByteArray entries = device.read(4 * qint64(layout.colours));
    if (entries.size() != 4 * layout.colours)
        return {};
    for (int i = 0; i < layout.colours; ++i) // stored blue, green, red, unused
        palette[i] = qRgb(uchar(entries[4 * i + 2]), uchar(entries[4 * i + 1]), uchar(entries[4 * i]));
    return palette;
}

// Draws the coded pixels onto an image that starts transparent. A pixel
// beyond the right edge or the last row is dropped, as the format says.
class Painter
{
public:
    Painter(QImage &image, const RunLengthLayout &layout, const QList<QRgb> &palette)
        : m_image(image)
        , m_layout(layout)
        , m_palette(palette)
    {
    }

    void put(int index)
    {
        if (m_x < m_layout.width && m_row < m_layout.height) {
            const int y = m_layout.bottomUp ? m_layout.height - 1 - m_row : m_row;
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
    bool done() const { return m_row >= m_layout.height; }

private:
    QImage &m_image;
    const RunLengthLayout &m_layout;
    const QList<QRgb> &m_palette;
    qint64 m_x = 0;
    qint64 m_row = 0;
};

// Reads the coded rows through a buffer, never the whole file at once: a
// file of codes can be as large as the picture. Past the end of the data,
// every byte reads as 0.
void decode(DeviceReader &in, bool fourBits, Painter &painter)
{
    const auto next = [&in] { return int(in.byte().value_or(0)); };
    while (in.has(2) && !painter.done()) {
        const int count = next();
        const int value = next();
        if (count > 0) {
            // One index repeated, or two nibbles taken in turn.
            for (int p = 0; p < count; ++p)
                painter.put(!fourBits ? value : (p % 2 ? value & 0x0F : value >> 4));
        } else if (value == 0) {
            painter.endRow();
        } else if (value == 1) {
            return; // the end of the bitmap
        } else if (value == 2) {
            const int right = next();
            painter.move(right, next());
        } else {
            // A stretch stored as it is, padded to 16 bits.
            const int bytes = fourBits ? (value + 1) / 2 : value;
            int stored = 0;
            for (int p = 0; p < value; ++p) {
                if (!fourBits || p % 2 == 0)
                    stored = next();
                painter.put(!fourBits ? stored : (p % 2 ? stored & 0x0F : stored >> 4));
            }
            if (bytes & 1)
                next();
        }
    }
}

} // namespace

QImage readRunLengthBmp(QIODevice &device)
{
    RunLengthLayout layout;
    if (device.isSequential() || !readLayout(device.peek(54), layout))
        return {};
    const qint64 start = device.pos();
    const QList<QRgb> palette = readPalette(device, start, layout);
    DeviceReader in(device, start);
    in.moveTo(layout.pixelOffset);
    QImage image;
    if (!palette.isEmpty() && in.has(1))
        image = QImage(layout.width, layout.height, QImage::Format_ARGB32);
    if (!image.isNull()) {
        image.fill(Qt::transparent);
        Painter painter(image, layout, palette);
        decode(in, layout.fourBits, painter);
    }
    device.seek(start);
    return image;
}
