#include "tgafile.h"

#include "littleendian.h"
#include "picturelimits.h"

#include <algorithm>

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
    quint16 colourMapLength = 0;
    uchar colourMapEntryBits = 0;
    quint16 width = 0;
    quint16 height = 0;
    uchar pixelBits = 0;

    static TgaHeader from(const QByteArray &head)
    {
        TgaHeader header;
        header.idLength = uchar(head.at(0));
        header.colourMapType = uchar(head.at(1));
        header.imageType = uchar(head.at(2));
        header.colourMapLength = fieldAt<quint16>(head, 5);
        header.colourMapEntryBits = uchar(head.at(7));
        header.width = fieldAt<quint16>(head, 12);
        header.height = fieldAt<quint16>(head, 14);
        header.pixelBits = uchar(head.at(16));
        return header;
    }

    bool mapped() const { return imageType == ColourMapped || imageType == CodedColourMapped; }
    bool fieldsAgree() const
    {
        const bool knownType = mapped() || imageType == TrueColour || imageType == Grey || imageType == CodedTrueColour
                               || imageType == CodedGrey;
        const bool knownDepth = pixelBits == 8 || pixelBits == 15 || pixelBits == 16 || pixelBits == 24 || pixelBits == 32;
        return knownType && knownDepth && colourMapType <= 1 && mapped() == (colourMapType == 1) && width > 0 && height > 0;
    }
    // Where the pixels end, uncompressed.
    qint64 pixelsEnd() const
    {
        const qint64 colourMapBytes = colourMapType == 1 ? qint64(colourMapLength) * ((colourMapEntryBits + 7) / 8) : 0;
        return headerBytes + idLength + colourMapBytes + qint64(width) * height * ((pixelBits + 7) / 8);
    }
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
    if (!header || header->imageType != TrueColour || header->pixelBits < 16)
        return Failure{Failure::Kind::NotAPicture, QStringLiteral("it is a kind of TGA Tervana cannot read (only "
                                                                  "uncompressed true-colour TGA pictures are read)")};
    if (device.size() - device.pos() < header->pixelsEnd())
        return Failure{Failure::Kind::NotAPicture, QStringLiteral("the file is cut short")};
    return std::nullopt;
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
