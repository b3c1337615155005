#include "svgresources.h"

#include "picturelimits.h"

#include <QBuffer>
#include <QImageReader>
#include <QRegularExpression>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace {

// Hand-made or exported drawings nest a few dozen groups deep, and hold a
// few thousand elements.
constexpr int maximumDepth = 256;
constexpr int maximumElements = 50'000;

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

} // namespace

Failure unusableSvg(const QString &why)
{
    return {Failure::Kind::NotAPicture, QStringLiteral("it is not a picture Tervana can read (%1)").arg(why)};
}

Failure refersElsewhere(QStringView address)
{
    return unusableSvg(QStringLiteral("it refers to another file: \"%1\"").arg(address.left(200)));
}

namespace {

// A start tag, from after its "<" up to its ">" (or the end), where `at`
// is left: too many attributes, or one too long.
std::optional<Failure> startTagRefusal(const char *&at, const char *const end)
{
    int attributes = 0;
    char quote = 0;
    const char *valueStart = nullptr;
    for (; at != end && (quote || *at != '>'); ++at) {
        if (quote && *at == quote) {
            if (at - valueStart > maximumAttributeBytes)
                return unusableSvg(QStringLiteral("it holds an attribute of more than %1 MB").arg(maximumAttributeBytes >> 20));
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
    return std::nullopt;
}

} // namespace

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
        } else if (std::optional<Failure> refused = startTagRefusal(at, end)) {
            return refused;
        }
    }
    return std::nullopt;
}

std::optional<Failure> ResourceCheck::element(QStringView name, const QXmlStreamAttributes &attributes)
{
for (const QXmlStreamAttribute &attribute : attributes) {
    if (std::optional<Failure> refused = this->attribute(name, attribute))
        return refused;
}
return std::nullopt;
}

std::optional<Failure> ResourceCheck::styleSheet(QStringView css)
{
if (asCssReadsIt(css).contains(QLatin1String("@import")))
    return unusableSvg(QStringLiteral("its style sheet imports another file"));
if (const std::optional<QString> outside = outsideReference(css))
    return refersElsewhere(*outside);
return std::nullopt;
}

std::optional<Failure> ResourceCheck::attribute(QStringView element, const QXmlStreamAttribute &attribute)
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

std::optional<Failure> ResourceCheck::address(QStringView element, QStringView value)
{
if (value.isEmpty() || value.startsWith(QLatin1Char('#')) || element == QLatin1String("a"))
    return std::nullopt;
const bool picture = element == QLatin1String("image") || element == QLatin1String("feImage");
if (picture && value.startsWith(QLatin1String("data:"), Qt::CaseInsensitive))
    return embeddedPicture(value.mid(5));
return refersElsewhere(value);
}

std::optional<Failure> ResourceCheck::embeddedPicture(QStringView data)
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

QByteArray ResourceCheck::formatOf(QByteArray bytes)
{
QBuffer buffer(&bytes);
buffer.open(QIODevice::ReadOnly);
QImageReader reader(&buffer);
const QByteArray format = reader.canRead() ? reader.format() : QByteArray();
const QSize size = reader.size();
m_lastSize = size.isValid() ? pixelsOf(size) : maximumEmbeddedPixels + 1;
return format;
}

namespace {

// Farther than this from the origin, the renderer cannot measure a marker.
constexpr double measurableReach = 4'194'304;

// Whether a number written in `text` lies beyond reach.
bool holdsFarNumber(QStringView text)
{
    static const QRegularExpression number(QStringLiteral("[-+]?(\\d+\\.?\\d*|\\.\\d+)([eE][-+]?\\d+)?"));
    for (const QRegularExpressionMatch &match : number.globalMatch(text)) {
        const double value = match.capturedView().toDouble();
        if (!(std::abs(value) <= measurableReach))
            return true;
    }
    return false;
}

} // namespace

// Notes an element that moves all within it beyond reach, and a hot spot
// marker beyond reach or within such an element.
void ElementWalk::noteReach(const QXmlStreamAttributes &attributes)
{
    if (m_farDepth < 0 && holdsFarNumber(attributes.value(QLatin1String("transform"))))
        m_farDepth = m_depth;
    if (attributes.value(QLatin1String("id")) != QLatin1String("hotspot"))
        return;
    bool far = m_farDepth >= 0;
    for (const QXmlStreamAttribute &attribute : attributes)
        far = far || holdsFarNumber(attribute.value());
    m_hotSpotBeyondReach = m_hotSpotBeyondReach || far;
}

std::optional<Failure> ElementWalk::start(const QXmlStreamReader &reader)
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
    noteReach(attributes);
    const QStringView name = reader.name();
    if ((name.startsWith(QLatin1String("fe")) && name.size() > 2 && name[2].isUpper()) || name == QLatin1String("mask")
        || name == QLatin1String("pattern"))
        ++m_offscreenSteps;
    return std::nullopt;
}

void ElementWalk::characters(QStringView text)
{
    if (m_styleDepth >= 0)
        m_styleText += text;
}

std::optional<Failure> ElementWalk::end()
{
    if (m_depth == m_styleDepth) {
        // The style sheet as a renderer reads it: all its text, whatever
        // comments or character sections split it.
        if (std::optional<Failure> refused = m_resources.styleSheet(m_styleText))
            return refused;
        m_styleText.clear();
        m_styleDepth = -1;
    }
    if (m_depth == m_farDepth)
        m_farDepth = -1;
    --m_depth;
    m_expansion.end();
    return std::nullopt;
}
