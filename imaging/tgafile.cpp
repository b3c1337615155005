#include "tgafile.h"

#include "littleendian.h"
#include "devicereader.h"
#include "picturelimits.h"
#include "pictureprobe.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int headerBytes = 18;
constexpr int footerBytes = 26;
const QByteArray footerSignature = QByteArrayLiteral("TRUEVISION-XFILE.\0");

enum ImageType : uchar { ColourMapped = 1, TrueColour = 2, Grey = 3, CodedColourMapped = 9, CodedTrueColour = 10, CodedGrey = 11 };

struct TgaHeader
{
    uchar idLength = 0;
    uchar colourMapType = 0;
    uchar imageType = 0;
    quint16 colourMapFirst = 0;
    quint16 colourMapLength = 0;
    uchar colourMapEntryBits = 0;
    quint16 width = 0;
    quint16 height = 0;
    uchar pixelBits = 0;
    uchar descriptor = 0; // alpha bits (low four), right-to-left (0x10), top-down (0x20)

    static TgaHeader from(const QByteArray &head)
    {
        TgaHeader header;
        header.idLength = uchar(head.at(0));
        header.colourMapType = uchar(head.at(1));
        header.imageType = uchar(head.at(2));
        header.colourMapFirst = fieldAt<quint16>(head, 3);
        header.colourMapLength = fieldAt<quint16>(head, 5);
        header.colourMapEntryBits = uchar(head.at(7));
        header.width = fieldAt<quint16>(head, 12);
        header.height = fieldAt<quint16>(head, 14);
        header.pixelBits = uchar(head.at(16));
        header.descriptor = uchar(head.at(17));
        return header;
    }

    bool mapped() const { return imageType == ColourMapped || imageType == CodedColourMapped; }
    bool fieldsAgree() const
    {
        const bool knownType = mapped() || imageType == TrueColour || imageType == Grey || imageType == CodedTrueColour
                               || imageType == CodedGrey;
        const bool knownDepth = pixelBits == 8 || pixelBits == 15 || pixelBits == 16 || pixelBits == 24 || pixelBits == 32;
        // A true-colour or grey picture may carry a colour map it does not use.
        const bool knownMap = colourMapType == 0 ? !mapped()
                              : colourMapType == 1 && (colourMapEntryBits == 15 || colourMapEntryBits == 16
                                                       || colourMapEntryBits == 24 || colourMapEntryBits == 32);
        return knownType && knownDepth && knownMap && width > 0 && height > 0;
    }
    bool coded() const { return imageType >= CodedColourMapped; }
    qint64 colourMapBytes() const
    {
        return colourMapType == 1 ? qint64(colourMapLength) * ((colourMapEntryBits + 7) / 8) : 0;
    }
    qint64 pixelsStart() const { return headerBytes + idLength + colourMapBytes(); }
    // Where the pixels end, uncompressed.
    qint64 pixelsEnd() const { return pixelsStart() + qint64(width) * height * ((pixelBits + 7) / 8); }
    // Qt's reader takes uncompressed true colour of 16 bits and more, stored
    // left to right.
    bool forQt() const { return imageType == TrueColour && pixelBits >= 16 && !(descriptor & 0x10); }
};

// An icon's or a cursor's directory: reserved zero, type 1 or 2, and at
// least one image.
bool isIconDirectory(const QByteArray &head)
{
    return head.startsWith(QByteArray("\0\0", 2)) && (head.at(2) == 1 || head.at(2) == 2) && head.at(3) == 0
           && fieldAt<quint16>(head, 4) > 0;
}

std::optional<TgaHeader> tgaHeaderOf(QIODevice &device)
{
    const QByteArray head = device.peek(headerBytes);
    if (head.size() < headerBytes || isIconDirectory(head))
        return std::nullopt;
    const TgaHeader header = TgaHeader::from(head);
    if (!header.fieldsAgree())
        return std::nullopt;
    return header;
}

} // namespace

std::optional<QSize> tgaClaimedSize(QIODevice &device)
{
    const std::optional<TgaHeader> header = tgaHeaderOf(device);
    if (!header)
        return std::nullopt;
    return QSize(header->width, header->height);
}

std::optional<Failure> tgaRefusal(QIODevice &device)
{
    const std::optional<TgaHeader> header = tgaHeaderOf(device);
    if (!header)
        return Failure{Failure::Kind::NotAPicture, QStringLiteral("it is not a picture Tervana can read")};
    if (!header->coded() && device.size() - device.pos() < header->pixelsEnd())
        return Failure{Failure::Kind::NotAPicture, QStringLiteral("the file is cut short")};
    return std::nullopt;
}

bool isTgaForQt(QIODevice &device)
{
    const std::optional<TgaHeader> header = tgaHeaderOf(device);
    return header && header->forQt();
}

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

TgaDecode decodeTgaWithoutQt(QIODevice &device)
{
    const std::optional<TgaHeader> header = tgaHeaderOf(device);
    if (!header)
        return {};
    const qint64 start = device.pos();
    DeviceReader in(device, start);
    in.moveTo(headerBytes + header->idLength);
    std::vector<QRgb> colours = header->mapped() ? colourMap(in, *header, (header->descriptor & 0x0F) != 0)
                                                 : std::vector<QRgb>();
    QImage image(header->width, header->height, QImage::Format_ARGB32);
    const Failure cutShort{Failure::Kind::NotAPicture, QStringLiteral("the file is cut short")};
    if (image.isNull() || (header->mapped() && colours.empty())) {
        device.seek(start);
        return {QImage(), image.isNull() ? tooLargeFailure(QSize(header->width, header->height)) : cutShort};
    }
    TgaPixels pixels(in, *header, std::move(colours));
    const bool topDown = header->descriptor & 0x20;
    const bool rightToLeft = header->descriptor & 0x10;
    for (int row = 0; row < header->height; ++row) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(topDown ? row : header->height - 1 - row));
        for (int x = 0; x < header->width; ++x) {
            const std::optional<QRgb> colour = pixels.next();
            if (!colour) {
                device.seek(start);
                return {QImage(), cutShort};
            }
            line[rightToLeft ? header->width - 1 - x : x] = *colour;
        }
    }
    device.seek(start);
    return {std::move(image), std::nullopt};
}

TgaWithFooter::TgaWithFooter(QIODevice &source)
    : m_source(source)
    , m_start(source.pos())
    , m_length(source.size() - source.pos())
{
    const qint64 resume = source.pos();
    source.seek(m_start + m_length - footerBytes);
    if (m_length < footerBytes || !source.read(footerBytes).endsWith(footerSignature))
        m_footer = QByteArray(footerBytes - footerSignature.size(), '\0') + footerSignature;
    source.seek(resume);
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool TgaWithFooter::seek(qint64 position)
{
    if (!QIODevice::seek(position))
        return false;
    m_at = position;
    return true;
}

qint64 TgaWithFooter::readData(char *data, qint64 maxSize)
{
    qint64 count = 0;
    if (m_at < m_length) {
        if (m_at < m_readStart || m_at >= m_readStart + m_read.size()) {
            if (!m_source.seek(m_start + m_at))
                return -1;
            m_read = m_source.read(std::min<qint64>(64 * 1024, m_length - m_at));
            m_readStart = m_at;
            if (m_read.isEmpty())
                return -1;
        }
        count = std::min(maxSize, m_readStart + m_read.size() - m_at);
        std::copy_n(m_read.constData() + (m_at - m_readStart), count, data);
    } else {
        count = std::clamp<qint64>(size() - m_at, 0, maxSize);
        std::copy_n(m_footer.constData() + (m_at - m_length), count, data);
    }
    m_at += count;
    return count;
}
