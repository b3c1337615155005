#include "jpeg2000.h"

#include "picturelimits.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstring>

namespace {

// A legitimate picture has a tile or a few; each tile costs the decoder
// its own work however small, so a stream of millions is refused.
constexpr OPJ_UINT32 maximumTiles = 4096;
// Each code block of each channel costs the decoder a kilobyte or so as it
// sets up, whatever is decoded: a 100-megapixel RGB picture in the usual
// 64 x 64 blocks has 73,242.
constexpr quint64 maximumCodeBlocks = 131072;

Failure notRead(const QString &why)
{
    return Failure{Failure::Kind::NotAPicture, why};
}

quint32 bigEndian32(const QByteArray &data, qsizetype at)
{
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData() + at);
    return quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 | quint32(bytes[2]) << 8 | bytes[3];
}

// Where the codestream starts: at once, or in a .jp2 file, in its
// contiguous codestream box (jp2c), after a few boxes at most.
qsizetype codestreamStart(const QByteArray &data)
{
    if (data.startsWith("\xFF\x4F\xFF\x51"))
        return 0;
    qsizetype at = 0;
    for (int boxes = 0; boxes < 64 && at + 8 <= data.size(); ++boxes) {
        // A length of 1 is followed by the box's length in 64 bits.
        const quint32 length = bigEndian32(data, at);
        const bool extended = length == 1 && at + 16 <= data.size();
        const quint64 whole = extended ? quint64(bigEndian32(data, at + 8)) << 32 | bigEndian32(data, at + 12) : length;
        if (data.mid(at + 4, 4) == "jp2c")
            return at + (extended ? 16 : 8);
        if (whole < (extended ? 16u : 8u) || whole > quint64(data.size() - at))
            return -1;
        at += qsizetype(whole);
    }
    return -1;
}

// What the codestream's SIZ marker states, read before the decoder sees
// it: the decoder sets up every tile and channel it states as it reads the
// header (40,000 tiles took it half a gigabyte). Its size, tiles and
// channels, and the deepest channel's bits; whether its own length and its
// geometry are sound, and whether any channel is subsampled.
struct SizMarker
{
    QSize size;
    quint64 tiles = 0;
    int channels = 0;
    int deepest = 0;
    bool subsampled = false;
    bool sound = false;
};

// Whether the codestream ends with its EOC marker, as a whole one does:
// that of a bare codestream at the end of the data, that of a .jp2 file
// at the end of its codestream box.
bool endsWhole(const QByteArray &data, qsizetype start)
{
    qsizetype end = data.size();
    if (start >= 8) {
        const quint32 box = bigEndian32(data, start - 8);
        if (box >= 10 && start - 8 + qsizetype(box) <= data.size())
            end = start - 8 + qsizetype(box);
    }
    return end - start >= 4 && data.mid(end - 2, 2) == "\xFF\xD9";
}

// SOC, SIZ, its length Lsiz and capabilities, the eight numbers of its
// geometry, Csiz, then three bytes for each channel: Ssiz, XRsiz, YRsiz.
std::optional<SizMarker> sizMarkerOf(const QByteArray &data)
{
    const qsizetype at = codestreamStart(data);
    if (at < 0 || at + 42 > data.size() || data.mid(at, 4) != "\xFF\x4F\xFF\x51")
        return std::nullopt;
    quint32 field[8];
    for (int i = 0; i < 8; ++i)
        field[i] = bigEndian32(data, at + 8 + 4 * i);
    const auto [right, bottom, left, top, tileWidth, tileHeight, tileLeft, tileTop] = field;
    SizMarker siz;
    siz.channels = uchar(data[at + 40]) << 8 | uchar(data[at + 41]);
    const int length = uchar(data[at + 4]) << 8 | uchar(data[at + 5]);
    siz.sound = length == 38 + 3 * siz.channels && at + 4 + length <= data.size() && right > left && bottom > top
                && tileWidth > 0 && tileHeight > 0 && tileLeft <= left && tileTop <= top;
    if (!siz.sound)
        return siz;
    for (int c = 0; c < siz.channels; ++c) {
        siz.deepest = std::max(siz.deepest, (uchar(data[at + 42 + 3 * c]) & 0x7F) + 1);
        siz.subsampled = siz.subsampled || data[at + 43 + 3 * c] != 1 || data[at + 44 + 3 * c] != 1;
    }
    const auto across = [](quint64 end, quint64 start, quint64 tile) { return (end - start + tile - 1) / tile; };
    siz.size = QSize(int(std::min<quint32>(right - left, 1u << 30)), int(std::min<quint32>(bottom - top, 1u << 30)));
    siz.tiles = across(right, tileLeft, tileWidth) * across(bottom, tileTop, tileHeight);
    return siz;
}

// What the coding style segments (COD, COC) of the main header and of every
// tile-part header state: the fewest resolution levels of any channel, and
// the narrowest and the lowest code block. The decoder sets up every code
// block of the stated size whatever level it decodes (a 64 x 64 stream of
// 4 x 4 blocks stating 9999 x 9999 took 7 GB), and fails a reduction past
// any tile's levels.
struct CodingStyle
{
    int fewestResolutions = 33;
    int narrowestBlock = 10; // exponents of two
    int lowestBlock = 10;
};

quint16 bigEndian16(const QByteArray &data, qsizetype at)
{
    return quint16(uchar(data[at]) << 8 | uchar(data[at + 1]));
}

// One COD or COC segment's levels and code block, its body (after the
// length) at `at`, `levelsAt` bytes in.
void addCodingStyle(const QByteArray &data, qsizetype at, qsizetype end, qsizetype levelsAt, CodingStyle &style)
{
    if (at + levelsAt + 3 > end)
        return;
    style.fewestResolutions = std::min(style.fewestResolutions, uchar(data[at + levelsAt]) + 1);
    style.narrowestBlock = std::min(style.narrowestBlock, (uchar(data[at + levelsAt + 1]) & 0x0F) + 2);
    style.lowestBlock = std::min(style.lowestBlock, (uchar(data[at + levelsAt + 2]) & 0x0F) + 2);
}

// Walks the marker segments from SIZ on, through each tile-part's header
// (skipping its data by its stated length), up to the end or the first
// marker that is not sound.
CodingStyle codingStyleOf(const QByteArray &data, qsizetype start, int channels)
{
    CodingStyle style;
    qsizetype at = start + 2, tilePartEnd = -1;
    while (at + 4 <= data.size()) {
        const quint16 marker = bigEndian16(data, at);
        if (marker == 0xFF93) { // SOD: the tile-part's data, to its end
            if (tilePartEnd <= at)
                break;
            at = tilePartEnd;
            continue;
        }
        const quint16 length = bigEndian16(data, at + 2);
        if ((marker >> 8) != 0xFF || marker == 0xFFD9 || length < 2 || at + 2 + length > data.size())
            break;
        if (marker == 0xFF90 && length >= 10) { // SOT: Isot, then the tile-part's length from here
            const quint32 tilePart = bigEndian32(data, at + 6);
            tilePartEnd = tilePart >= 14 ? at + qsizetype(std::min<quint64>(tilePart, quint64(data.size() - at))) : -1;
        }
        if (marker == 0xFF52) // COD: Scod, SGcod, then SPcod
            addCodingStyle(data, at + 4, at + 2 + length, 5, style);
        if (marker == 0xFF53) // COC: its channel, Scoc, then SPcoc
            addCodingStyle(data, at + 4, at + 2 + length, channels < 257 ? 2 : 3, style);
        at += 2 + length;
    }
    return style;
}

// The stream OpenJPEG reads: the bytes in memory, and where it stands.
struct MemoryStream
{
    const QByteArray *data;
    OPJ_OFF_T at = 0;
};

OPJ_SIZE_T readFrom(void *buffer, OPJ_SIZE_T bytes, void *user)
{
    auto *stream = static_cast<MemoryStream *>(user);
    const OPJ_OFF_T left = stream->data->size() - stream->at;
    if (left <= 0)
        return OPJ_SIZE_T(-1);
    const OPJ_SIZE_T read = std::min<OPJ_SIZE_T>(bytes, OPJ_SIZE_T(left));
    std::memcpy(buffer, stream->data->constData() + stream->at, read);
    stream->at += OPJ_OFF_T(read);
    return read;
}

OPJ_BOOL seekTo(OPJ_OFF_T to, void *user)
{
    auto *stream = static_cast<MemoryStream *>(user);
    if (to < 0 || to > stream->data->size())
        return OPJ_FALSE;
    stream->at = to;
    return OPJ_TRUE;
}

OPJ_OFF_T skipIn(OPJ_OFF_T bytes, void *user)
{
    auto *stream = static_cast<MemoryStream *>(user);
    const OPJ_OFF_T to = std::clamp<OPJ_OFF_T>(stream->at + bytes, 0, stream->data->size());
    const OPJ_OFF_T skipped = to - stream->at;
    stream->at = to;
    return skipped == 0 && bytes != 0 ? -1 : skipped;
}

// The first error the decoder reports, for the message; its warnings and
// notes are not ours to print.
void keepFirstError(const char *message, void *user)
{
    auto *kept = static_cast<QString *>(user);
    if (kept->isEmpty())
        *kept = QString::fromUtf8(message).trimmed();
}

void ignore(const char *, void *) {}

// One decoding: the codec, its stream over the bytes, and the image.
class Decoder
{
public:
    explicit Decoder(const QByteArray &data)
        : m_memory{&data}
    {
        m_codec = opj_create_decompress(data.startsWith("\xFF\x4F") ? OPJ_CODEC_J2K : OPJ_CODEC_JP2);
        m_stream = opj_stream_default_create(OPJ_TRUE);
        opj_stream_set_user_data(m_stream, &m_memory, nullptr);
        opj_stream_set_user_data_length(m_stream, OPJ_UINT64(data.size()));
        opj_stream_set_read_function(m_stream, readFrom);
        opj_stream_set_seek_function(m_stream, seekTo);
        opj_stream_set_skip_function(m_stream, skipIn);
        opj_set_error_handler(m_codec, keepFirstError, &m_error);
        opj_set_warning_handler(m_codec, ignore, nullptr);
        opj_set_info_handler(m_codec, ignore, nullptr);
        opj_dparameters_t parameters;
        opj_set_default_decoder_parameters(&parameters);
        m_ready = opj_setup_decoder(m_codec, &parameters);
    }
    ~Decoder()
    {
        if (m_image)
            opj_image_destroy(m_image);
        opj_stream_destroy(m_stream);
        opj_destroy_codec(m_codec);
    }
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;

    // Reads the header and checks what it claims; the size in `size`.
    std::optional<Failure> readHeader(const QByteArray &data, QSize &size)
    {
        if (std::optional<Failure> refused = statedJpeg2000Header(data).failure)
            return refused;
        if (!m_ready || !opj_read_header(m_stream, m_codec, &m_image) || !m_image)
            return notRead(QStringLiteral("is damaged (%1)").arg(m_error.isEmpty() ? QStringLiteral("no header") : m_error));
        size = QSize(int(std::min<OPJ_UINT32>(m_image->x1 - m_image->x0, 1u << 30)),
                     int(std::min<OPJ_UINT32>(m_image->y1 - m_image->y0, 1u << 30)));
        return channelsRefusal(size);
    }

    // Decodes at `halvings` levels below the full resolution, as many as
    // every channel of the codestream has; the size it will have in `size`.
    void reduce(const QByteArray &data, int halvings, QSize &size)
    {
        // Every tile's and channel's levels, its own header's included.
        const int levels = codingStyleOf(data, codestreamStart(data), int(m_image->numcomps)).fewestResolutions;
        const OPJ_UINT32 factor = OPJ_UINT32(std::clamp(halvings, 0, std::max(levels - 1, 0)));
        if (factor == 0 || !opj_set_decoded_resolution_factor(m_codec, factor))
            return;
        const auto reduced = [factor](OPJ_UINT32 end, OPJ_UINT32 start) {
            const OPJ_UINT64 step = OPJ_UINT64(1) << factor;
            return int((end + step - 1) / step - (start + step - 1) / step);
        };
        size = QSize(reduced(m_image->x1, m_image->x0), reduced(m_image->y1, m_image->y0));
    }

    std::optional<Failure> decode(QSize size)
    {
        if (!opj_decode(m_codec, m_stream, m_image) || !opj_end_decompress(m_codec, m_stream))
            return notRead(QStringLiteral("is not whole (%1)").arg(m_error.isEmpty() ? QStringLiteral("its data ends early") : m_error));
        for (OPJ_UINT32 c = 0; c < m_image->numcomps; ++c)
            if (!m_image->comps[c].data || m_image->comps[c].w != OPJ_UINT32(size.width())
                || m_image->comps[c].h != OPJ_UINT32(size.height()))
                return notRead(QStringLiteral("is not whole"));
        return std::nullopt;
    }

    const opj_image_t &image() const { return *m_image; }

private:
    std::optional<Failure> channelsRefusal(QSize size) const
    {
        if (size.isEmpty() || m_image->x1 <= m_image->x0 || m_image->y1 <= m_image->y0)
            return notRead(QStringLiteral("has no pixels"));
        if (m_image->numcomps < 1 || m_image->numcomps > 4)
            return notRead(QStringLiteral("has %1 channels (grey or RGB, with or without alpha, are read)").arg(m_image->numcomps));
        if (m_image->color_space == OPJ_CLRSPC_CMYK || m_image->color_space == OPJ_CLRSPC_EYCC)
            return notRead(QStringLiteral("is in CMYK or e-YCC colours, which are not read"));
        for (OPJ_UINT32 c = 0; c < m_image->numcomps; ++c) {
            const opj_image_comp_t &channel = m_image->comps[c];
            if (channel.dx != 1 || channel.dy != 1 || channel.w != OPJ_UINT32(size.width()) || channel.h != OPJ_UINT32(size.height()))
                return notRead(QStringLiteral("has channels of different sizes, which are not read"));
            if (channel.prec < 1 || channel.prec > 16)
                return notRead(QStringLiteral("has %1-bit samples (1 to 16 are read)").arg(channel.prec));
        }
        return std::nullopt;
    }

    MemoryStream m_memory;
    opj_codec_t *m_codec = nullptr;
    opj_stream_t *m_stream = nullptr;
    opj_image_t *m_image = nullptr;
    QString m_error;
    bool m_ready = false;
};

// A sample of `channel` at `index`, as 8 bits.
uchar sample8(const opj_image_comp_t &channel, size_t index)
{
    const qint64 top = (qint64(1) << channel.prec) - 1;
    const qint64 value = std::clamp<qint64>(qint64(channel.data[index]) + (channel.sgnd ? (top + 1) / 2 : 0), 0, top);
    return uchar((value * 255 + top / 2) / top);
}

QImage imageOf(const opj_image_t &decoded, QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    const OPJ_UINT32 channels = decoded.numcomps;
    const bool alpha = channels == 2 || channels == 4;
    const bool grey = channels < 3;
    const bool premultiplied = alpha && decoded.comps[channels - 1].alpha == 2;
    for (int y = 0; y < size.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const size_t at = size_t(y) * size_t(size.width()) + size_t(x);
            const int r = sample8(decoded.comps[0], at);
            const int g = grey ? r : sample8(decoded.comps[1], at);
            const int b = grey ? r : sample8(decoded.comps[2], at);
            const int a = alpha ? sample8(decoded.comps[channels - 1], at) : 255;
            line[x] = premultiplied && a > 0 ? qRgba(std::min(255, r * 255 / a), std::min(255, g * 255 / a), std::min(255, b * 255 / a), a)
                                             : qRgba(r, g, b, a);
        }
    }
    return image;
}

} // namespace

bool isJpeg2000(const QByteArray &data)
{
    return data.startsWith(QByteArray("\0\0\0\x0cjP  ", 8)) || data.startsWith("\xFF\x4F\xFF\x51");
}

Jpeg2000Header statedJpeg2000Header(const QByteArray &data)
{
    const std::optional<SizMarker> siz = sizMarkerOf(data);
    if (!siz)
        return {QSize(), notRead(QStringLiteral("is damaged (its codestream has no size marker)"))};
    if (siz->channels < 1 || siz->channels > 4)
        return {siz->size, notRead(QStringLiteral("has %1 channels (grey or RGB, with or without alpha, are read)").arg(siz->channels))};
    if (!siz->sound)
        return {QSize(), notRead(QStringLiteral("is damaged (its size marker states an impossible size, tiling or length)"))};
    if (siz->deepest > 16)
        return {siz->size, notRead(QStringLiteral("has %1-bit samples (1 to 16 are read)").arg(siz->deepest))};
    if (siz->subsampled)
        return {siz->size, notRead(QStringLiteral("has channels of different sizes, which are not read"))};
    if (siz->tiles > maximumTiles)
        return {siz->size, notRead(QStringLiteral("is cut into %1 tiles (at most %2 are read)").arg(siz->tiles).arg(maximumTiles))};
    const CodingStyle style = codingStyleOf(data, codestreamStart(data), siz->channels);
    const auto blocksAcross = [](int length, int exponent) { return (quint64(length) + (quint64(1) << exponent) - 1) >> exponent; };
    const quint64 blocks = blocksAcross(siz->size.width(), style.narrowestBlock) * blocksAcross(siz->size.height(), style.lowestBlock)
                           * quint64(siz->channels);
    if (blocks > maximumCodeBlocks)
        return {siz->size, notRead(QStringLiteral("is cut into %1 code blocks (at most %2 are read)").arg(blocks).arg(maximumCodeBlocks))};
    if (!endsWhole(data, codestreamStart(data)))
        return {siz->size, notRead(QStringLiteral("is not whole (its codestream does not end)"))};
    return {siz->size, std::nullopt};
}

Jpeg2000Header readJpeg2000Header(const QByteArray &data)
{
    Decoder decoder(data);
    Jpeg2000Header header;
    header.failure = decoder.readHeader(data, header.size);
    return header;
}

Jpeg2000Image decodeJpeg2000(const QByteArray &data, qint64 pixelLimit, int halvings)
{
    Decoder decoder(data);
    QSize size;
    if (std::optional<Failure> failure = decoder.readHeader(data, size))
        return {QImage(), std::move(failure)};
    decoder.reduce(data, halvings, size);
    if (qint64(size.width()) * size.height() > pixelLimit)
        return {QImage(), tooLargeFailure(size, pixelLimit)};
    if (std::optional<Failure> failure = decoder.decode(size))
        return {QImage(), std::move(failure)};
    QImage image = imageOf(decoder.image(), size);
    if (image.isNull())
        return {QImage(), tooLargeFailure(size, pixelLimit)};
    return {std::move(image), std::nullopt};
}
