#include "svgdocument.h"

#include "picturelimits.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QXmlStreamReader>

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace {

// An SVG logo takes kilobytes; one of this size is not a logo.
constexpr qint64 maximumDocumentBytes = 8 * 1024 * 1024;
// Hand-made or exported drawings nest a few dozen groups deep, and hold a
// few thousand elements.
constexpr int maximumDepth = 256;
constexpr int maximumElements = 50'000;
// Each <use> draws what it refers to once more: a few levels of them in a
// few kilobytes can ask for billions of shapes. A drawing drawn as an icon
// draws far fewer, all told.
constexpr qint64 maximumDrawnElements = 100'000;
// A start tag of more attributes than this, or an attribute longer than
// this, is refused before the XML reader sees it: the reader's check for
// attributes given twice takes time that grows with the square of their
// number, and it holds each value whole, twice.
constexpr int maximumAttributes = 1000;
constexpr qint64 maximumAttributeBytes = 4 * 1024 * 1024;
// Of an embedded picture, this much is decoded to tell its kind and size
// (its headers); the rest is only checked to be what a renderer decodes.
constexpr qsizetype embeddedHeadBytes = 256 * 1024;
// Embedded pictures of more pixels than this, all told, are refused: the
// renderer holds each decoded twice (about 32 MB at this size), within the
// memory a drawing is given.
constexpr qint64 maximumEmbeddedPixels = 4'000'000;
// The kinds of picture an SVG may embed: pictures, not drawings (which the
// renderer would draw without these checks) nor anything else; told both
// from what the address declares and from the content.
const QList<QByteArray> embeddableFormats = {"png", "jpeg", "gif", "bmp", "webp"};
const QStringList embeddableMediaTypes = {QString(), QStringLiteral("image/png"), QStringLiteral("image/jpeg"),
                                          QStringLiteral("image/jpg"), QStringLiteral("image/gif"),
                                          QStringLiteral("image/bmp"), QStringLiteral("image/webp")};

bool isGzip(const QByteArray &head)
{
    return head.startsWith("\x1F\x8B");
}

// Up to `limit` bytes of the content of gzip data, member after member as
// gzip itself reads them; whether that is all of it, or whether the data
// ran out before its end, or is damaged.
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
    for (;;) {
        if (status == Z_STREAM_END) {
            // Another member follows, or the data ends here.
            const QByteArray rest = QByteArray::fromRawData(reinterpret_cast<const char *>(stream.next_in),
                                                            qsizetype(stream.avail_in));
            if (!isGzip(rest) || inflateReset(&stream) != Z_OK)
                break;
            status = Z_OK;
        }
        if (status != Z_OK)
            break;
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
    const bool whole = status == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    out.truncate(int(produced));
    return {std::move(out), whole, ranOut};
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

Failure refersElsewhere(QStringView address)
{
    return unusableSvg(QStringLiteral("it refers to another file: \"%1\"").arg(address.left(200)));
}

// Whether a character is the white space CSS and data addresses skip.
bool isAsciiSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')
           || c == QLatin1Char('\f');
}

// Whether the text is base64 as a renderer decodes a data address (white
// space left out; at most two "=" at the end; nothing else), checked
// without a copy of it.
bool isStrictBase64(QStringView text)
{
    qsizetype length = 0;
    int padding = 0;
    for (const QChar c : text) {
        if (isAsciiSpace(c))
            continue;
        const bool letter = (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
                            || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+')
                            || c == QLatin1Char('/');
        if (c == QLatin1Char('='))
            ++padding;
        else if (!letter || padding > 0)
            return false;
        ++length;
    }
    return padding <= 2 && (length % 4 == 0 || (padding == 0 && length % 4 != 1));
}

// The first bytes the base64 text decodes to: about `bytes` of them.
QByteArray base64Head(QStringView text, qsizetype bytes)
{
    QByteArray compact;
    compact.reserve(std::min(text.size(), bytes / 3 * 4 + 4));
    for (const QChar c : text) {
        if (compact.size() >= bytes / 3 * 4)
            break;
        if (!isAsciiSpace(c))
            compact.append(c.toLatin1());
    }
    return QByteArray::fromBase64(compact);
}

// Text as a CSS parser reads it: comments left out and escapes undone
// ("u\72l(" is "url("), in lower case, so that what it names is seen for
// what it is. Text with neither is looked at as it stands.
QString asCssReadsIt(QStringView text)
{
    QString read;
    read.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('/') && i + 1 < text.size() && text[i + 1] == QLatin1Char('*')) {
            const qsizetype end = text.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? text.size() : end + 1;
            continue;
        }
        if (text[i] != QLatin1Char('\\') || i + 1 >= text.size()) {
            read.append(text[i].toLower());
            continue;
        }
        // An escape: up to six hexadecimal digits and one space after
        // them, or the one character that follows.
        qsizetype digits = 0;
        while (digits < 6 && i + 1 + digits < text.size() && isxdigit(text[i + 1 + digits].toLatin1()))
            ++digits;
        if (digits == 0) {
            read.append(text[++i].toLower());
            continue;
        }
        const uint code = text.mid(i + 1, digits).toString().toUInt(nullptr, 16);
        i += digits;
        if (i + 1 < text.size() && isAsciiSpace(text[i + 1]))
            ++i;
        if (code > 0 && code <= 0x10FFFF)
            read.append(QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1).toLower());
    }
    return read;
}

// The first url(...) of the text (as a CSS parser reads it) that refers to
// something else than a part of the document itself (url(#id)), if any.
std::optional<QString> outsideReference(QStringView text)
{
    const bool plain = !text.contains(QLatin1Char('\\')) && !text.contains(QLatin1String("/*"));
    const QString read = plain ? QString() : asCssReadsIt(text);
    const QStringView css = plain ? text : QStringView(read);
    qsizetype from = 0;
    while ((from = css.indexOf(QLatin1String("url("), from, Qt::CaseInsensitive)) >= 0) {
        from += 4;
        QStringView target = css.mid(from).trimmed();
        if (target.startsWith(QLatin1Char('"')) || target.startsWith(QLatin1Char('\'')))
            target = target.mid(1).trimmed();
        if (!target.startsWith(QLatin1Char('#')))
            return target.left(std::min<qsizetype>(200, target.indexOf(QLatin1Char(')')) < 0 ? target.size()
                                                                                             : target.indexOf(QLatin1Char(')'))))
                .toString();
    }
    return std::nullopt;
}

// Whether the raw text of the document has a start tag of too many
// attributes or an attribute too long, told in one pass over its bytes:
// comments, character data, declarations and processing instructions are
// passed over, and in a tag each "=" outside quotes starts an attribute.
std::optional<Failure> tagRefusal(const QByteArray &xml)
{
    const char *at = xml.constData();
    const char *const end = at + xml.size();
    const auto skipPast = [&](const char *closing) {
        const char *found = std::search(at, end, closing, closing + std::strlen(closing));
        at = found == end ? end : found + std::strlen(closing);
    };
    while ((at = std::find(at, end, '<')) != end) {
        ++at;
        if (end - at >= 3 && std::equal(at, at + 3, "!--")) {
            skipPast("-->");
        } else if (end - at >= 8 && std::equal(at, at + 8, "![CDATA[")) {
            skipPast("]]>");
        } else if (at != end && *at == '?') {
            skipPast("?>");
        } else if (at != end && (*at == '!' || *at == '/')) {
            // A declaration (its internal subset, whose entities are
            // refused anyway, is passed over) or an end tag.
            skipPast(">");
        } else {
            int attributes = 0;
            char quote = 0;
            const char *valueStart = nullptr;
            for (; at != end && (quote || *at != '>'); ++at) {
                if (quote && *at == quote) {
                    if (at - valueStart > maximumAttributeBytes)
                        return unusableSvg(QStringLiteral("it holds an attribute of more than %1 MB")
                                               .arg(maximumAttributeBytes >> 20));
                    quote = 0;
                } else if (!quote && (*at == '"' || *at == '\'')) {
                    quote = *at;
                    valueStart = at;
                } else if (!quote && *at == '=' && ++attributes > maximumAttributes) {
                    return unusableSvg(QStringLiteral("an element holds more than %1 attributes").arg(maximumAttributes));
                }
            }
            if (quote && at - valueStart > maximumAttributeBytes)
                return unusableSvg(QStringLiteral("it holds an attribute of more than %1 MB").arg(maximumAttributeBytes >> 20));
        }
    }
    return std::nullopt;
}

// What the document embeds and refers to, checked at every place a
// renderer may take an address from: every attribute of every element, in
// every namespace, and every style sheet.
class ResourceCheck
{
public:
    std::optional<Failure> element(QStringView name, const QXmlStreamAttributes &attributes)
    {
        for (const QXmlStreamAttribute &attribute : attributes) {
            if (std::optional<Failure> refused = this->attribute(name, attribute))
                return refused;
        }
        return std::nullopt;
    }

    // A style sheet, whole (the text of a <style> element joined, as a
    // renderer joins it), or a style attribute.
    std::optional<Failure> styleSheet(QStringView css)
    {
        if (asCssReadsIt(css).contains(QLatin1String("@import")))
            return unusableSvg(QStringLiteral("its style sheet imports another file"));
        if (const std::optional<QString> outside = outsideReference(css))
            return refersElsewhere(*outside);
        return std::nullopt;
    }

private:
    std::optional<Failure> attribute(QStringView element, const QXmlStreamAttribute &attribute)
    {
        const QStringView value = attribute.value();
        // A base address would make even "#id" lead to another file.
        if (attribute.name() == QLatin1String("base"))
            return refersElsewhere(value);
        if (attribute.name() == QLatin1String("style"))
            if (std::optional<Failure> refused = styleSheet(value))
                return refused;
        if (const std::optional<QString> outside = outsideReference(value))
            return refersElsewhere(*outside);
        if (attribute.name() == QLatin1String("href"))
            return address(element, value.trimmed());
        return std::nullopt;
    }

    // An address: a part of the document itself, or for a picture element
    // an embedded picture. A link (<a>) is never followed by drawing.
    std::optional<Failure> address(QStringView element, QStringView value)
    {
        if (value.isEmpty() || value.startsWith(QLatin1Char('#')) || element == QLatin1String("a"))
            return std::nullopt;
        const bool picture = element == QLatin1String("image") || element == QLatin1String("feImage");
        if (picture && value.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
            return embeddedPicture(value.mid(5));
        return refersElsewhere(value);
    }

    // data:[<media type>][;base64],<data>, as the renderer reads it: the
    // media type up to the first comma, the content after it. Only the head
    // of the content is decoded, to tell the picture's kind and size.
    std::optional<Failure> embeddedPicture(QStringView data)
    {
        const qsizetype comma = data.indexOf(QLatin1Char(','));
        QStringView header = data.left(std::max<qsizetype>(comma, 0));
        const bool base64 = header.endsWith(QLatin1String(";base64"), Qt::CaseInsensitive);
        if (base64)
            header.chop(7);
        const qsizetype parameters = header.indexOf(QLatin1Char(';'));
        const QString mediaType = header.left(parameters < 0 ? header.size() : parameters).trimmed().toString().toLower();
        const QStringView content = data.mid(comma + 1);
        QByteArray head;
        if (comma >= 0 && base64 && isStrictBase64(content))
            head = base64Head(content, embeddedHeadBytes);
        else if (comma >= 0 && !base64)
            head = QByteArray::fromPercentEncoding(content.left(3 * embeddedHeadBytes).toUtf8());
        const QByteArray format = head.isEmpty() ? QByteArray() : formatOf(std::move(head));
        if (!embeddableMediaTypes.contains(mediaType) || !embeddableFormats.contains(format))
            return unusableSvg(QStringLiteral("it embeds a file of a kind it may not hold (%1)")
                                   .arg(mediaType.isEmpty() ? QString::fromLatin1(format) : mediaType));
        m_pixels += m_lastSize;
        if (m_pixels > maximumEmbeddedPixels)
            return Failure{Failure::Kind::TooLarge,
                           QStringLiteral("the pictures it embeds are too large (more than %1 megapixels)")
                               .arg(maximumEmbeddedPixels / 1'000'000)};
        return std::nullopt;
    }

    // The kind of picture the bytes begin, and its size (kept for the
    // count; one that cannot be told counts as too large).
    QByteArray formatOf(QByteArray bytes)
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        const QByteArray format = reader.canRead() ? reader.format() : QByteArray();
        const QSize size = reader.size();
        m_lastSize = size.isValid() ? pixelsOf(size) : maximumEmbeddedPixels + 1;
        return format;
    }

    qint64 m_pixels = 0;
    qint64 m_lastSize = 0;
};

// How many elements the document draws once every <use> is expanded: each
// element counts once, and a <use> counts what it refers to once more. A
// <use> that leads round to itself draws nothing, as renderers draw it.
class Expansion
{
public:
    void start(QStringView name, const QXmlStreamAttributes &attributes)
    {
        const int index = int(m_nodes.size());
        Node node;
        node.parent = m_open.empty() ? -1 : m_open.back();
        // As renderers read them: an id of no namespace, the first element
        // of an id the one it names; a plain href before an XLink one.
        bool plainHref = false;
        for (const QXmlStreamAttribute &attribute : attributes) {
            if (attribute.name() == QLatin1String("id") && attribute.namespaceUri().isEmpty()
                && !m_ids.contains(attribute.value().toString()))
                m_ids.insert(attribute.value().toString(), index);
            const bool plain = attribute.namespaceUri().isEmpty();
            if (name == QLatin1String("use") && attribute.name() == QLatin1String("href") && (plain || !plainHref)) {
                const QStringView target = attribute.value().trimmed();
                node.uses = target.startsWith(QLatin1Char('#')) ? target.mid(1).toString() : QString();
                plainHref = plainHref || plain;
            }
        }
        if (node.parent >= 0)
            m_nodes[size_t(node.parent)].children.push_back(index);
        m_nodes.push_back(std::move(node));
        m_open.push_back(index);
    }
    void end() { m_open.pop_back(); }

    // The count, up to just over the limit.
    qint64 drawn()
    {
        m_counts.assign(m_nodes.size(), -1);
        qint64 total = 0;
        for (size_t i = 0; i < m_nodes.size() && total <= maximumDrawnElements; ++i)
            if (m_nodes[i].parent < 0)
                total += count(int(i));
        return total;
    }

private:
    struct Node
    {
        int parent = -1;
        QString uses;
        std::vector<int> children;
    };
    static constexpr qint64 counting = -2;

    // What an element draws, its own and the elements it holds or uses,
    // counted depth first with a stack of its own: a chain of uses may be
    // as long as the document.
    qint64 count(int root)
    {
        struct Frame
        {
            int index;
            size_t next = 0; // of its children, then what it uses
            qint64 total = 1;
        };
        std::vector<Frame> stack;
        qint64 result = enter(root, stack);
        while (!stack.empty()) {
            Frame &frame = stack.back();
            const Node &node = m_nodes[size_t(frame.index)];
            int following = -1;
            if (frame.next < node.children.size())
                following = node.children[frame.next];
            else if (frame.next == node.children.size() && !node.uses.isEmpty())
                following = m_ids.value(node.uses, -1);
            ++frame.next;
            if (following >= 0) {
                const qint64 counted = enter(following, stack);
                if (counted >= 0)
                    stack.back().total = std::min(stack.back().total + counted, maximumDrawnElements + 1);
            } else if (frame.next > node.children.size() + 1) {
                result = m_counts[size_t(frame.index)] = frame.total;
                stack.pop_back();
                if (!stack.empty())
                    stack.back().total = std::min(stack.back().total + result, maximumDrawnElements + 1);
            }
        }
        return result;
    }

    // Starts counting an element: its count when it is known already (0
    // when it is being counted, leading round to itself), or -1 when it is
    // put on the stack to be counted.
    template<typename Stack>
    qint64 enter(int index, Stack &stack)
    {
        qint64 &known = m_counts[size_t(index)];
        if (known == counting)
            return 0;
        if (known >= 0)
            return known;
        known = counting;
        stack.push_back({index});
        return -1;
    }

    std::vector<Node> m_nodes;
    std::vector<int> m_open;
    QHash<QString, int> m_ids;
    std::vector<qint64> m_counts;
};

// Whether a document type names a file of its own: only the W3C's own
// declarations of SVG, which nothing reads, are let through.
bool namesAnotherFile(QStringView systemId)
{
    return !systemId.isEmpty() && !systemId.startsWith(QLatin1String("http://www.w3.org/"));
}

// Walks the whole document as XML, before the renderer sees it.
std::optional<Failure> documentRefusal(const QByteArray &xml)
{
    if (std::optional<Failure> refused = tagRefusal(xml))
        return refused;
    QXmlStreamReader reader(xml);
    ResourceCheck resources;
    Expansion expansion;
    int depth = 0;
    int elements = 0;
    int styleDepth = -1; // the depth of the <style> element being read
    QString styleText;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            if (!reader.entityDeclarations().isEmpty())
                return unusableSvg(QStringLiteral("it declares entities"));
            if (namesAnotherFile(reader.dtdSystemId()))
                return refersElsewhere(reader.dtdSystemId());
            break;
        case QXmlStreamReader::ProcessingInstruction:
            // A style sheet instruction makes a renderer read that file.
            return unusableSvg(QStringLiteral("it holds a processing instruction (<?%1?>)").arg(reader.processingInstructionTarget()));
        case QXmlStreamReader::StartElement:
            if (++depth > maximumDepth)
                return unusableSvg(QStringLiteral("its elements nest too deep"));
            if (++elements > maximumElements)
                return unusableSvg(QStringLiteral("it holds more than %1 elements").arg(maximumElements));
        {
            const QXmlStreamAttributes attributes = reader.attributes();
            if (std::optional<Failure> refused = resources.element(reader.name(), attributes))
                return refused;
            if (styleDepth < 0 && reader.name() == QLatin1String("style"))
                styleDepth = depth;
            expansion.start(reader.name(), attributes);
            break;
        }
        case QXmlStreamReader::Characters:
            if (styleDepth >= 0)
                styleText += reader.text();
            break;
        case QXmlStreamReader::EndElement:
            if (depth == styleDepth) {
                // The style sheet as a renderer reads it: all its text,
                // whatever comments or character sections split it.
                if (std::optional<Failure> refused = resources.styleSheet(styleText))
                    return refused;
                styleText.clear();
                styleDepth = -1;
            }
            --depth;
            expansion.end();
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        return unusableSvg(reader.errorString());
    if (expansion.drawn() > maximumDrawnElements)
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
    if ((read.failure = readXml(device, read.xml)))
        return read;
    read.failure = documentRefusal(read.xml);
    return read;
}
