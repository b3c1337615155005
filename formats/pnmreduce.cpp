// A big binary PBM, PGM or PPM read a few rows at a time straight into
// block averages: its rows are stored as they are, one after another.

#include "reducedreaders.h"

#include "pnmnumbers.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <optional>
#include <vector>

namespace {

// What the header says: P4 (one bit a pixel, 1 for black), P5 (grey) or P6
// (red, green, blue), each sample of one byte, or of two, most significant
// first, when the largest value is above 255.
struct PnmHeader
{
    char kind = 0;
    QSize size;
    int largest = 1;
    qint64 rasterStart = 0;

    int samplesPerPixel() const { return kind == '6' ? 3 : 1; }
    int bytesPerSample() const { return largest > 255 ? 2 : 1; }
    qint64 rowBytes() const
    {
        return kind == '4' ? (qint64(size.width()) + 7) / 8
                           : qint64(size.width()) * samplesPerPixel() * bytesPerSample();
    }
};

// The header's numbers, separated by white space and comments, then one
// white-space byte before the pixels.
std::optional<PnmHeader> pnmHeader(const QByteArray &head)
{
    if (head.size() < 3 || head.at(0) != 'P' || head.at(1) < '4' || head.at(1) > '6')
        return std::nullopt;
    PnmHeader header;
    header.kind = head.at(1);
    qsizetype at = 2;
    std::array<qint64, 3> numbers{};
    const int count = header.kind == '4' ? 2 : 3;
    for (int i = 0; i < count; ++i) {
        const std::optional<qint64> number = nextPnmNumber(head, at);
        if (!number)
            return std::nullopt;
        numbers[size_t(i)] = *number;
    }
    if (at >= head.size() || !std::isspace(uchar(head.at(at))) || numbers[0] < 1 || numbers[0] > INT_MAX
        || numbers[1] < 1 || numbers[1] > INT_MAX || (count == 3 && (numbers[2] < 1 || numbers[2] > 65535)))
        return std::nullopt;
    header.size = QSize(int(numbers[0]), int(numbers[1]));
    header.largest = count == 3 ? int(numbers[2]) : 1;
    header.rasterStart = at + 1;
    return header;
}

// Turns rows as stored into what the averager sums: blue, green, red bytes
// for colour, palette indexes (grey levels, or 0 white and 1 black) else.
class RowLevels
{
public:
    explicit RowLevels(const PnmHeader &header)
        : m_header(header)
        , m_levels(size_t(header.size.width()) * size_t(header.samplesPerPixel()))
    {
    }

    const uchar *levels(const uchar *stored)
    {
        const int samples = m_header.size.width() * m_header.samplesPerPixel();
        if (m_header.kind == '4') {
            for (int x = 0; x < samples; ++x)
                m_levels[size_t(x)] = (stored[x / 8] >> (7 - x % 8)) & 1;
            return m_levels.data();
        }
        for (int i = 0; i < samples; ++i)
            m_levels[size_t(i)] = uchar(level(stored, i));
        if (m_header.kind == '6')
            for (size_t i = 0; i < m_levels.size(); i += 3)
                std::swap(m_levels[i], m_levels[i + 2]);
        return m_levels.data();
    }

private:
    int level(const uchar *stored, int i) const
    {
        const int largest = m_header.largest;
        const int value = m_header.bytesPerSample() == 2 ? qFromBigEndian<quint16>(stored + 2 * i) : stored[i];
        if (largest == 255)
            return value;
        return (std::min(value, largest) * 255 + largest / 2) / largest;
    }

    const PnmHeader &m_header;
    std::vector<uchar> m_levels;
};

// Sums the rows, which start at the device's current position, many at a
// time.
ReducedPicture sumRows(QIODevice &device, const PnmHeader &header, QSize block)
{
    BlockAverager blocks(header.size, block);
    std::array<QRgb, 256> palette{};
    for (int i = 0; i < 256; ++i)
        palette[size_t(i)] = header.kind == '4' ? (i == 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0)) : qRgb(i, i, i);
    blocks.setPalette(palette.data());
    RowLevels rows(header);
    const qint64 rowBytes = header.rowBytes();
    const int rowsAtOnce = int(std::clamp<qint64>((1 << 20) / rowBytes, 1, header.size.height()));
    std::vector<uchar> stored(size_t(rowBytes) * size_t(rowsAtOnce));
    for (int y = 0; y < header.size.height(); y += rowsAtOnce) {
        const int count = std::min(rowsAtOnce, header.size.height() - y);
        if (device.read(reinterpret_cast<char *>(stored.data()), rowBytes * count) != rowBytes * count)
            return {};
        for (int i = 0; i < count; ++i) {
            const uchar *levels = rows.levels(stored.data() + rowBytes * i);
            if (header.kind == '6')
                blocks.addBgrRow(y + i, levels, 3);
            else
                blocks.addIndexedRow(y + i, levels);
        }
    }
    return blocks.result();
}

} // namespace

ReducedPicture readReducedPnm(QIODevice &device, QSize drawSize, qint64 wholeDecodeLimit)
{
    const std::optional<PnmHeader> header = pnmHeader(device.peek(1024));
    if (device.isSequential() || !header)
        return {};
    const int bits = header->kind == '4' ? 1 : 8 * header->bytesPerSample();
    const QSize block = streamingBlock(header->size, drawSize, bits, header->kind != '6', wholeDecodeLimit);
    const qint64 start = device.pos();
    // A raster cut short is left to Qt's reader, which says what it says of it.
    if (!block.isValid() || device.size() - start < header->rasterStart + header->rowBytes() * header->size.height()
        || !device.seek(start + header->rasterStart))
        return {};
    ReducedPicture reduced = sumRows(device, *header, block);
    device.seek(start);
    return reduced;
}
