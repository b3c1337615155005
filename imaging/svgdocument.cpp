#include "svgdocument.h"

#include "picturelimits.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <zlib.h>

namespace {

// An SVG logo takes kilobytes; one of this size is not a logo.
constexpr qint64 maximumDocumentBytes = 16 * 1024 * 1024;
// Hand-made or exported drawings nest a few dozen groups deep, and hold a
// few thousand elements; the renderer keeps some 400 bytes for each.
constexpr int maximumDepth = 256;
constexpr int maximumElements = 50'000;
// Embedded pictures of more pixels than this, all told, are refused, as big
// decodes are.
constexpr qint64 maximumEmbeddedPixels = bigDecodePixels;
// The kinds of picture an SVG may embed: pictures, not drawings (which the
// renderer would draw without these checks) nor anything else.
const QList<QByteArray> embeddableFormats = {"png", "jpeg", "gif", "bmp", "webp"};

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

// What the document embeds and links to, as the renderer will read it.
class LinkCheck
{
public:
    // Why an element's links make the document unusable: they lead out of
    // it, or embed what may not be drawn.
    std::optional<Failure> refusal(QStringView element, const QXmlStreamAttributes &attributes)
    {
        for (const QXmlStreamAttribute &attribute : attributes) {
            if (attribute.name() != QLatin1String("href"))
                continue;
            // The renderer reads an image's address as a file name unless it
            // begins with "data", exactly so; other elements' with "#" are
            // references within the document.
            const QStringView address = attribute.value();
            if (element == QLatin1String("image") && address.startsWith(QLatin1String("data")))
                return embeddedPictureRefusal(address);
            if (element != QLatin1String("image") && address.startsWith(QLatin1Char('#')))
                continue;
            return unusableSvg(QStringLiteral("it refers to another file: \"%1\"").arg(address.left(200)));
        }
        return std::nullopt;
    }

private:
    // The renderer decodes what follows the last "base64," as a picture of
    // any kind its readers know.
    std::optional<Failure> embeddedPictureRefusal(QStringView address)
    {
        const qsizetype data = address.lastIndexOf(QLatin1String("base64,"));
        if (data < 0)
            return std::nullopt; // the renderer draws nothing for it
        QByteArray bytes = QByteArray::fromBase64(address.mid(data + 7).toLatin1());
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QByteArray format = reader.canRead() ? reader.format() : QByteArray();
        if (!format.isEmpty() && !embeddableFormats.contains(format))
            return unusableSvg(QStringLiteral("it embeds a file of a kind it may not hold (%1)")
                                   .arg(QString::fromLatin1(format)));
        m_pixels += pixelsOf(reader.size());
        if (m_pixels > maximumEmbeddedPixels)
            return Failure{Failure::Kind::TooLarge,
                           QStringLiteral("the pictures it embeds are too large (more than %1 megapixels)")
                               .arg(maximumEmbeddedPixels / 1'000'000)};
        return std::nullopt;
    }

    qint64 m_pixels = 0;
};

// Walks the whole document as XML, before the renderer sees it.
std::optional<Failure> documentRefusal(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    LinkCheck links;
    int depth = 0;
    int elements = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            if (!reader.entityDeclarations().isEmpty())
                return unusableSvg(QStringLiteral("it declares entities"));
            break;
        case QXmlStreamReader::ProcessingInstruction:
            // A style sheet instruction makes the renderer read that file.
            return unusableSvg(QStringLiteral("it holds a processing instruction (<?%1?>)").arg(reader.processingInstructionTarget()));
        case QXmlStreamReader::StartElement:
            if (++depth > maximumDepth)
                return unusableSvg(QStringLiteral("its elements nest too deep"));
            if (++elements > maximumElements)
                return unusableSvg(QStringLiteral("it holds more than %1 elements").arg(maximumElements));
            if (std::optional<Failure> refused = links.refusal(reader.name(), reader.attributes()))
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

// Whether the document has text elements anywhere.
bool holdsText(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        if (reader.readNext() == QXmlStreamReader::StartElement
            && (reader.name() == QLatin1String("text") || reader.name() == QLatin1String("textArea")))
            return true;
    return false;
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
    // Text is drawn with the system's fonts, which only a GUI application
    // has (the window, or the converter on its offscreen platform).
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()) && holdsText(read.document.xml)) {
        read.failure = unusableSvg(
            QStringLiteral("it holds text, and fonts are loaded only for drawings named .svg or .svgz"));
        return read;
    }
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
