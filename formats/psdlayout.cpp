// A Photoshop file's header and sections, walked to the composite's data.

#include "psdlayout.h"

#include <QtEndian>

#include <limits>

namespace {

constexpr int psdHeaderBytes = 26;

quint32 bigEndian32(const QByteArray &head, int at)
{
    return qFromBigEndian<quint32>(head.constData() + at);
}

quint16 bigEndian16(const QByteArray &head, int at)
{
    return qFromBigEndian<quint16>(head.constData() + at);
}

// A section's length of four bytes, or of eight in a .psb's layer section.
std::optional<quint64> sectionLength(DeviceReader &in, bool eightBytes)
{
    const std::optional<quint32> high = eightBytes ? in.number(4, true) : std::optional<quint32>(0);
    const std::optional<quint32> low = in.number(4, true);
    if (!high || !low)
        return std::nullopt;
    return quint64(*high) << 32 | *low;
}

// Steps over `length` bytes; false when the file ends first (a length near
// 2^32 or 2^64 included, which no file holds).
bool skipSection(DeviceReader &in, quint64 length)
{
    return length <= quint64(std::numeric_limits<qint64>::max()) && in.skip(qint64(length));
}

// How many colour channels a mode has, or 0 for a mode Tervana does not
// read; `why` then says which it is.
int colourChannelsOf(int mode, int depth, QString &why)
{
    switch (mode) {
    case PsdBitmap: return depth == 1 ? 1 : 0;
    case PsdGrey: return 1;
    case PsdIndexed: return depth == 8 ? 1 : 0;
    case PsdRgb: return 3;
    case PsdCmyk: return 4;
    case 7: why = QStringLiteral("its channels are of no colour model (multichannel)"); return 0;
    case 8: why = QStringLiteral("its colours are duotone"); return 0;
    case 9: why = QStringLiteral("its colours are Lab colours"); return 0;
    default: why = QStringLiteral("its colour mode %1 is unknown").arg(mode); return 0;
    }
}

// The header's fields, checked; a refusal's reason when they are not read.
QString readHeader(const QByteArray &head, PsdLayout &layout)
{
    const int version = bigEndian16(head, 4);
    if (version != 1 && version != 2)
        return QStringLiteral("it is a Photoshop file of version %1").arg(version);
    layout.large = version == 2;
    layout.storedChannels = bigEndian16(head, 12);
    layout.size = psdStatedSize(head);
    layout.depth = bigEndian16(head, 22);
    layout.mode = bigEndian16(head, 24);
    if (layout.storedChannels < 1 || layout.storedChannels > psdMostChannels)
        return QStringLiteral("it claims %1 channels").arg(layout.storedChannels);
    if (layout.size.isEmpty())
        return QStringLiteral("it has no pixels");
    const int longest = layout.large ? psbLongestSide : psdLongestSide;
    if (layout.size.width() > longest || layout.size.height() > longest)
        return QStringLiteral("a side of it is longer than %1 pixels").arg(longest);
    if (layout.depth == 32)
        return QStringLiteral("its samples are 32-bit floating-point numbers");
    if (layout.depth != 1 && layout.depth != 8 && layout.depth != 16)
        return QStringLiteral("its samples are of %1 bits").arg(layout.depth);
    QString why = QStringLiteral("its colour mode %1 has no samples of %2 bits").arg(layout.mode).arg(layout.depth);
    layout.colourChannels = colourChannelsOf(layout.mode, layout.depth, why);
    if (layout.colourChannels == 0 || (layout.depth == 1 && layout.mode != PsdBitmap))
        return why;
    if (layout.colourChannels > layout.storedChannels)
        return QStringLiteral("it holds %1 channels, fewer than its colours take").arg(layout.storedChannels);
    return QString();
}

// An indexed picture's colours: 256 reds, then 256 greens, then 256 blues.
bool readPalette(DeviceReader &in, PsdLayout &layout)
{
    std::array<uchar, 768> stored{};
    if (in.read(stored.data(), 768) != 768)
        return false;
    for (size_t i = 0; i < 256; ++i)
        layout.palette[i] = qRgb(stored[i], stored[256 + i], stored[512 + i]);
    return true;
}

// The count of layers the layer section states at its start, when it states
// one within its `length`: negative when the composite's transparency is
// kept in its first channel after the colour ones.
int statedLayerCount(DeviceReader &in, quint64 length, bool large)
{
    const int lengthBytes = large ? 8 : 4;
    if (length < quint64(lengthBytes) + 2)
        return 0;
    const std::optional<quint64> layersLength = sectionLength(in, large);
    const std::optional<quint32> count = in.number(2, true);
    if (!layersLength || *layersLength < 2 || !count)
        return 0;
    return qint16(quint16(*count));
}

// The three sections before the composite; false when the file ends first.
bool walkSections(DeviceReader &in, PsdLayout &layout, QString &refusal)
{
    const std::optional<quint64> colourData = sectionLength(in, false);
    if (!colourData)
        return false;
    if (layout.mode == PsdIndexed && *colourData != 768) {
        refusal = QStringLiteral("its palette is of %1 bytes, not 768").arg(*colourData);
        return true;
    }
    if (layout.mode == PsdIndexed ? !readPalette(in, layout) : !skipSection(in, *colourData))
        return false;
    const std::optional<quint64> resources = sectionLength(in, false);
    if (!resources || !skipSection(in, *resources))
        return false;
    const std::optional<quint64> layers = sectionLength(in, layout.large);
    if (!layers || !in.has(qint64(qMin<quint64>(*layers, 1ull << 62))))
        return false;
    const qint64 afterLayers = in.offset() + qint64(*layers);
    // The rule most writers keep (ImageMagick among them): a channel after
    // the colour ones is the composite's transparency only when the layer
    // count is negative; otherwise it is a saved selection or a spot
    // colour, and the composite is opaque.
    layout.alpha = layout.storedChannels > layout.colourChannels && statedLayerCount(in, *layers, layout.large) < 0;
    in.moveTo(afterLayers);
    return true;
}

} // namespace

QSize psdStatedSize(const QByteArray &head)
{
    if (head.size() < psdHeaderBytes || !head.startsWith("8BPS"))
        return QSize();
    const quint32 height = bigEndian32(head, 14);
    const quint32 width = bigEndian32(head, 18);
    const auto side = [](quint32 stored) { return int(qMin<quint32>(stored, std::numeric_limits<int>::max())); };
    return QSize(side(width), side(height));
}

bool isLargePsd(const QByteArray &head)
{
    return head.size() >= psdHeaderBytes && bigEndian16(head, 4) == 2;
}

PsdParse parsePsd(DeviceReader &in)
{
    QByteArray head(psdHeaderBytes, '\0');
    if (in.read(reinterpret_cast<uchar *>(head.data()), psdHeaderBytes) != psdHeaderBytes)
        return {std::nullopt, true, QString()};
    PsdLayout layout;
    QString refusal = readHeader(head, layout);
    if (!refusal.isEmpty())
        return {std::nullopt, false, refusal};
    if (!walkSections(in, layout, refusal))
        return {std::nullopt, true, QString()};
    if (!refusal.isEmpty())
        return {std::nullopt, false, refusal};
    const std::optional<quint32> compression = in.number(2, true);
    if (!compression)
        return {std::nullopt, true, QString()};
    if (*compression > 1)
        return {std::nullopt, false, QStringLiteral("its composite is compressed in a way Tervana does not read (%1)").arg(*compression)};
    layout.runLengths = *compression == 1;
    layout.dataStart = in.offset();
    return {layout, false, QString()};
}
