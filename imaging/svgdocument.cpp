#include "svgdocument.h"

#include "picturelimits.h"

#include <QBuffer>
#include <QImageReader>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <zlib.h>

namespace {

// An SVG logo takes kilobytes; one of this size is not a logo.
constexpr qint64 maximumDocumentBytes = 16 * 1024 * 1024;
// Hand-made or exported drawings nest a few dozen groups deep.
constexpr int maximumDepth = 256;
// Embedded pictures larger than this are refused, as big decodes are.
constexpr qint64 maximumEmbeddedPixels = bigDecodePixels;

bool isGzip(const QByteArray &head)
{
    return head.startsWith("\x1F\x8B");
}

// Up to `limit` bytes of the content of gzip data; whether that is all of
// it (the data ended where it says it ends), or whether the data ran out
// before that.
struct Gunzipped
{
    QByteArray bytes;
    bool whole = false;
    bool cutShort = false;
};

Gunzipped gunzip(const QByteArray &compressed, qint64 limit)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return {};
    QByteArray out(int(qMin<qint64>(limit, 64 * 1024)), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    int status = Z_OK;
    qint64 produced = 0;
    while (status == Z_OK) {
        if (produced == out.size()) {
            if (produced >= limit)
                break;
            out.resize(int(qMin<qint64>(limit, produced * 2)));
        }
        stream.next_out = reinterpret_cast<Bytef *>(out.data() + produced);
        stream.avail_out = uInt(out.size() - produced);
        status = inflate(&stream, Z_NO_FLUSH);
        produced = out.size() - stream.avail_out;
    }
    const bool ranOut = status == Z_BUF_ERROR && stream.avail_in == 0;
    inflateEnd(&stream);
    out.truncate(int(produced));
    return {std::move(out), status == Z_STREAM_END, ranOut};
}

// Whether the XML's first element is <svg>.
bool startsWithSvgElement(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement)
            return reader.name() == QLatin1String("svg");
    }
    return false;
}

// The text of the first bytes, uncompressed: enough to find the first element.
QByteArray headOf(QIODevice &device)
{
    const QByteArray head = device.peek(4096);
    if (!isGzip(head))
        return head;
    return gunzip(device.peek(64 * 1024), 4096).bytes;
}

Failure unusableSvg(const QString &why)
{
    return {Failure::Kind::NotAPicture, QStringLiteral("it is not a picture Tervana can read (%1)").arg(why)};
}

// Why an embedded data: picture cannot be drawn: too large, or none.
std::optional<Failure> embeddedPictureRefusal(QStringView address)
{
    const qsizetype comma = address.indexOf(QLatin1Char(','));
    if (comma < 0 || !address.left(comma).contains(QLatin1String(";base64")))
        return unusableSvg(QStringLiteral("an embedded picture is not in base64"));
    QByteArray bytes = QByteArray::fromBase64(address.mid(comma + 1).toLatin1());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const QSize size = QImageReader(&buffer).size();
    if (pixelsOf(size) > maximumEmbeddedPixels)
        return Failure{Failure::Kind::TooLarge,
                       QStringLiteral("it embeds a picture too large (%1 x %2 pixels)").arg(size.width()).arg(size.height())};
    return std::nullopt;
}

// Why an element's link makes the document unusable: it leads out of it.
std::optional<Failure> linkRefusal(const QXmlStreamAttributes &attributes)
{
    for (const QXmlStreamAttribute &attribute : attributes) {
        if (attribute.name() != QLatin1String("href"))
            continue;
        const QStringView address = attribute.value().trimmed();
        if (address.startsWith(QLatin1Char('#')))
            continue;
        if (address.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
            return embeddedPictureRefusal(address);
        return unusableSvg(QStringLiteral("it refers to another file: \"%1\"").arg(address.left(200)));
    }
    return std::nullopt;
}

// Walks the whole document as XML, before the renderer sees it.
std::optional<Failure> documentRefusal(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            if (!reader.entityDeclarations().isEmpty())
                return unusableSvg(QStringLiteral("it declares entities"));
            break;
        case QXmlStreamReader::StartElement:
            if (++depth > maximumDepth)
                return unusableSvg(QStringLiteral("its elements nest too deep"));
            if (std::optional<Failure> refused = linkRefusal(reader.attributes()))
                return refused;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        return unusableSvg(reader.errorString());
    return std::nullopt;
}

// The whole document, uncompressed, or why it cannot be had.
std::optional<Failure> readXml(QIODevice &device, QByteArray &xml)
{
    QByteArray bytes = device.read(maximumDocumentBytes + 1);
    bool tooLong = bytes.size() > maximumDocumentBytes;
    if (!tooLong && isGzip(bytes)) {
        Gunzipped content = gunzip(bytes, maximumDocumentBytes + 1);
        tooLong = content.bytes.size() > maximumDocumentBytes;
        if (content.cutShort)
            return Failure{Failure::Kind::NotAPicture, QStringLiteral("the file is cut short")};
        if (!content.whole && !tooLong)
            return unusableSvg(QStringLiteral("its compressed data is damaged"));
        bytes = std::move(content.bytes);
    }
    if (tooLong)
        return Failure{Failure::Kind::TooLarge,
                       QStringLiteral("the drawing is too large (more than %1 MB of SVG)").arg(maximumDocumentBytes >> 20)};
    xml = std::move(bytes);
    return std::nullopt;
}

} // namespace

bool looksLikeSvg(QIODevice &device)
{
    const QByteArray head = headOf(device);
    const QByteArray start = head.trimmed();
    return start.startsWith('<') && head.contains("<svg") && startsWithSvgElement(head);
}

SvgRead readSvgDocument(QIODevice &device)
{
    SvgRead read;
    if ((read.failure = readXml(device, read.document.xml)))
        return read;
    if ((read.failure = documentRefusal(read.document.xml)))
        return read;
    const QSvgRenderer renderer(read.document.xml);
    read.document.size = renderer.defaultSize();
    if (!renderer.isValid())
        read.failure = unusableSvg(QStringLiteral("the drawing cannot be read"));
    else if (read.document.size.isEmpty())
        read.failure = unusableSvg(QStringLiteral("the drawing has no size"));
    return read;
}

void drawSvg(QPainter &painter, const QByteArray &xml, const QRectF &target)
{
    QSvgRenderer renderer(xml);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, target);
}
