// An SVG document read whole, uncompressed, and walked as XML before any
// renderer sees it; each element is checked as it comes (svgresources.h).

#include "svgdocument.h"

#include "fileaccess.h"
#include "svggzip.h"
#include "svgresources.h"

#include <QXmlStreamReader>

namespace {

// An SVG logo takes kilobytes; one of this size is not a logo.
constexpr qint64 maximumDocumentBytes = 8 * 1024 * 1024;

// Whether a document type names a file of its own: only the W3C's own
// declarations of SVG, which nothing reads, are let through.
bool namesAnotherFile(QStringView systemId)
{
    return !systemId.isEmpty() && !systemId.startsWith(QLatin1String("http://www.w3.org/"));
}

// A document type that declares entities, or names a file of its own.
std::optional<Failure> documentTypeRefusal(const QXmlStreamReader &reader)
{
    if (!reader.entityDeclarations().isEmpty())
        return unusableSvg(QStringLiteral("it declares entities"));
    if (namesAnotherFile(reader.dtdSystemId()))
        return refersElsewhere(reader.dtdSystemId());
    return std::nullopt;
}

// A drawing counts as costly for each pixel when its elements, each
// offscreen step counted as 100 elements, come to more than this, or when
// it is longer than a megabyte. A logo with a drop shadow or two stays
// below; thirty soft shadows do not.
constexpr qint64 costlyWeight = 2000;
constexpr qint64 costlyDocumentBytes = 1024 * 1024;

bool isCostlyPerPixel(const QByteArray &xml, qint64 drawn, int offscreenSteps)
{
    return xml.size() > costlyDocumentBytes || drawn + 100 * qint64(offscreenSteps) > costlyWeight;
}

// Walks the whole document as XML, before the renderer sees it.
std::optional<Failure> documentRefusal(SvgRead &read)
{
    const QByteArray &xml = read.xml;
    if (std::optional<Failure> refused = tagRefusal(xml))
        return refused;
    QXmlStreamReader reader(xml);
    ElementWalk elements;
    while (!reader.atEnd()) {
        std::optional<Failure> refused;
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD: refused = documentTypeRefusal(reader); break;
        case QXmlStreamReader::ProcessingInstruction:
            // A style sheet instruction makes a renderer read that file.
            return unusableSvg(QStringLiteral("it holds a processing instruction (<?%1?>)").arg(reader.processingInstructionTarget()));
        case QXmlStreamReader::StartElement: refused = elements.start(reader); break;
        case QXmlStreamReader::Characters: elements.characters(reader.text()); break;
        case QXmlStreamReader::EndElement: refused = elements.end(); break;
        default: break;
        }
        if (refused)
            return refused;
    }
    if (reader.hasError())
        return unusableSvg(reader.errorString());
    read.hotSpotBeyondReach = elements.hotSpotBeyondReach();
    const qint64 drawn = elements.drawn();
    read.costlyPerPixel = isCostlyPerPixel(xml, drawn, elements.offscreenSteps());
    if (drawn > maximumDrawnElements)
        return unusableSvg(QStringLiteral("it draws more than %1 elements once its <use> elements are expanded")
                               .arg(maximumDrawnElements));
    return std::nullopt;
}

// The whole document, uncompressed, or why it cannot be had.
std::optional<Failure> readXml(QIODevice &device, QByteArray &xml)
{
    QByteArray bytes = readUpTo(device, maximumDocumentBytes + 1);
    bool tooLong = bytes.size() > maximumDocumentBytes;
    if (!tooLong && isGzip(bytes)) {
        Gunzipped content = gunzip(bytes, maximumDocumentBytes + 1);
        tooLong = content.bytes.size() > maximumDocumentBytes;
        if (content.cutShort)
            return Failure::cutShort();
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

SvgRead readSvgDocument(QIODevice &device)
{
    SvgRead read;
    if ((read.failure = readXml(device, read.xml)))
        return read;
    read.failure = documentRefusal(read);
    return read;
}
