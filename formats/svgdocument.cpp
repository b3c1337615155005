#include "svgdocument.h"

#include "svgexpansion.h"
#include "svggzip.h"
#include "svgresources.h"

#include <QXmlStreamReader>

namespace {

// An SVG logo takes kilobytes; one of this size is not a logo.
constexpr qint64 maximumDocumentBytes = 8 * 1024 * 1024;
// Hand-made or exported drawings nest a few dozen groups deep, and hold a
// few thousand elements.
constexpr int maximumDepth = 256;
constexpr int maximumElements = 50'000;

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

// Whether a document type names a file of its own: only the W3C's own
// declarations of SVG, which nothing reads, are let through.
bool namesAnotherFile(QStringView systemId)
{
    return !systemId.isEmpty() && !systemId.startsWith(QLatin1String("http://www.w3.org/"));
}

// The elements of the document as they are walked: their depth and count,
// what they refer to and embed, the text of the <style> element being read,
// and what its <use> elements expand to.
class ElementWalk
{
public:
    std::optional<Failure> start(const QXmlStreamReader &reader)
    {
        if (++m_depth > maximumDepth)
            return unusableSvg(QStringLiteral("its elements nest too deep"));
        if (++m_elements > maximumElements)
            return unusableSvg(QStringLiteral("it holds more than %1 elements").arg(maximumElements));
        const QXmlStreamAttributes attributes = reader.attributes();
        if (std::optional<Failure> refused = m_resources.element(reader.name(), attributes))
            return refused;
        if (m_styleDepth < 0 && reader.name() == QLatin1String("style"))
            m_styleDepth = m_depth;
        m_expansion.start(reader.name(), attributes);
        return std::nullopt;
    }

    void characters(QStringView text)
    {
        if (m_styleDepth >= 0)
            m_styleText += text;
    }

    std::optional<Failure> end()
    {
        if (m_depth == m_styleDepth) {
            // The style sheet as a renderer reads it: all its text,
            // whatever comments or character sections split it.
            if (std::optional<Failure> refused = m_resources.styleSheet(m_styleText))
                return refused;
            m_styleText.clear();
            m_styleDepth = -1;
        }
        --m_depth;
        m_expansion.end();
        return std::nullopt;
    }

    qint64 drawn() { return m_expansion.drawn(); }

private:
    ResourceCheck m_resources;
    Expansion m_expansion;
    int m_depth = 0;
    int m_elements = 0;
    int m_styleDepth = -1; // the depth of the <style> element being read
    QString m_styleText;
};

// A document type that declares entities, or names a file of its own.
std::optional<Failure> documentTypeRefusal(const QXmlStreamReader &reader)
{
    if (!reader.entityDeclarations().isEmpty())
        return unusableSvg(QStringLiteral("it declares entities"));
    if (namesAnotherFile(reader.dtdSystemId()))
        return refersElsewhere(reader.dtdSystemId());
    return std::nullopt;
}

// Walks the whole document as XML, before the renderer sees it.
std::optional<Failure> documentRefusal(const QByteArray &xml)
{
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
    if (elements.drawn() > maximumDrawnElements)
        return unusableSvg(QStringLiteral("it draws more than %1 elements once its <use> elements are expanded")
                               .arg(maximumDrawnElements));
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

bool looksLikeSvg(QIODevice &device)
{
    const QByteArray head = headOf(device);
    const QByteArray start = head.trimmed();
    return start.startsWith('<') && head.contains("<svg") && startsWithSvgElement(head);
}

SvgRead readSvgDocument(QIODevice &device)
{
    SvgRead read;
    if ((read.failure = readXml(device, read.xml)))
        return read;
    read.failure = documentRefusal(read.xml);
    return read;
}
