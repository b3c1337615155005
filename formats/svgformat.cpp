// SVG drawings and SVGZ, their gzip-compressed form: the document checked
// (svgdocument.h), then drawn by the helper program (svgrendering.h).

#include "formatrows.h"
#include "picturelimits.h"
#include "svgdocument.h"
#include "svggzip.h"
#include "svgrendering.h"

#include <QXmlStreamReader>

#include <algorithm>

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

// An SVG drawing is drawn once, fine enough for every size drawn of it,
// and each size area-averaged from that, so that each pixel holds how much
// of it each shape covers. How fine is decided from the document and the
// largest size asked, before drawing, so that a command gives the same
// result however busy the machine:
// - sixteen times finer along each side than the largest size, up to 1024
//   pixels, never coarser than that size. Every size from 64 to 1024 is
//   drawn from the same 1024 pixels, so that a size made within a set is
//   the size made alone, byte for byte.
// - a drawing whose cost grows with every pixel drawn (costlyPerPixel) no
//   finer than the largest size, or 128 pixels where that is larger: it
//   costs what librsvg's own drawing at the largest size costs, and the
//   small sizes still get several drawn pixels for each of theirs.
// Shown as it is, a drawing is drawn at its own size, up to 1024.
constexpr int drawingFineness = 16;
constexpr int drawingFineSide = 1024;
constexpr int costlyFineSide = 128;

int drawnSide(int longer, bool costlyPerPixel)
{
    const int finer = drawingFineness * longer;
    if (costlyPerPixel)
        return std::max(longer, std::min(finer, costlyFineSide));
    return std::min(finer, std::max(drawingFineSide, longer));
}

PictureLoad decodeSvg(QIODevice &file, QSize drawSize)
{
    SvgRead svg = readSvgDocument(file);
    if (svg.failure)
        return {Picture(), std::move(svg.failure)};
    const int longer = drawSize.isValid() ? std::max(drawSize.width(), drawSize.height()) : 0;
    const SvgSize size = longer > 0 ? SvgSize{SvgSize::Rule::Fit, drawnSide(longer, svg.costlyPerPixel)}
                                    : SvgSize{SvgSize::Rule::AtMost, drawingFineSide};
    SvgRendering drawn = renderSvg(svg.xml, size);
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
