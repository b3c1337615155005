// SVG drawings and SVGZ, their gzip-compressed form: the document checked
// (svgdocument.h), then drawn by the helper program (svgrendering.h).

#include "formatrows.h"
#include "picturelimits.h"
#include "svgdocument.h"
#include "svgrendering.h"

#include <algorithm>

namespace {

// An SVG drawing is drawn once, fine enough for every drawing made of it:
// sixteen times finer along each side than the size it is for, up to 1024
// pixels, and each drawing of it area-averaged from that, so that each
// pixel holds how much of it each shape covers; never coarser than the
// size it is for. Shown as it is, it is drawn at its own size, up to the
// same. It keeps its document.
constexpr int drawingFineness = 16;
constexpr int drawingFineSide = 1024;

PictureLoad decodeSvg(QIODevice &file, QSize drawSize)
{
    SvgRead svg = readSvgDocument(file);
    if (svg.failure)
        return {Picture(), std::move(svg.failure)};
    const int longer = drawSize.isValid() ? std::max(drawSize.width(), drawSize.height()) : 0;
    const SvgSize size = longer > 0
                             ? SvgSize{SvgSize::Rule::Fit, std::min(longer * drawingFineness, std::max(drawingFineSide, longer)), longer}
                             : SvgSize{SvgSize::Rule::AtMost, drawingFineSide, 1};
    SvgRendering drawn = renderSvg(svg.xml, size);
    if (drawn.failure)
        return {Picture(), std::move(drawn.failure)};
    if (isTooLarge(drawn.naturalSize))
        return {Picture(), tooLargeFailure(drawn.naturalSize)};
    return {Picture::drawing(std::move(svg.xml), std::move(drawn.image), drawn.naturalSize), std::nullopt,
            std::move(drawn.note)};
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

std::unique_ptr<FormatReader> openSvgReader(QIODevice &)
{
    return std::make_unique<SvgReader>();
}
