// SVG drawings and SVGZ, their gzip-compressed form: the document checked
// (svgdocument.h), then drawn by the helper program (svgrendering.h).

#include "formatrows.h"
#include "picturelimits.h"
#include "svgdocument.h"
#include "svggzip.h"
#include "svgrendering.h"

#include <QXmlStreamReader>

namespace {

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

PictureLoad decodeSvg(QIODevice &file, QSize drawSize)
{
    SvgRead svg = readSvgDocument(file);
    if (svg.failure)
        return {Picture(), std::move(svg.failure)};
    SvgRendering drawn = renderSvg(svg.xml, drawnSize(drawSize, svg.costlyPerPixel));
    if (drawn.failure)
        return {Picture(), std::move(drawn.failure)};
    if (isTooLarge(drawn.naturalSize))
        return {Picture(), tooLargeFailure(drawn.naturalSize)};
    Picture drawing = Picture::drawing(std::move(svg.xml), std::move(drawn.image), drawn.naturalSize);
    // A marker beyond what the renderer measures leaves a hot spot that is
    // no point at all, which a cursor made of the drawing refuses.
    if (svg.hotSpotBeyondReach)
        drawing.setHotSpot(QPointF(qQNaN(), qQNaN()));
    else if (drawn.hotSpot)
        drawing.setHotSpot(*drawn.hotSpot);
    return {std::move(drawing), std::nullopt, std::move(drawn.note)};
}

class SvgReader : public FormatReader
{
public:
    PictureLoad decodeWhole(QIODevice &device, QSize drawSize, DrawDetail) override
    {
        return decodeSvg(device, drawSize);
    }
};

} // namespace

// XML whose first element is <svg>, or gzip data that holds such XML.
bool isSvg(QIODevice &device, const QByteArray &)
{
    const QByteArray head = headOf(device);
    const QByteArray start = head.trimmed();
    return start.startsWith('<') && head.contains("<svg") && startsWithSvgElement(head);
}

std::unique_ptr<FormatReader> openSvgReader(QIODevice &, const QByteArray &)
{
    return std::make_unique<SvgReader>();
}
