// PDF documents, and Illustrator files, which are PDF documents: a page
// (the first, or the one --page names) drawn as a drawing by the helper
// program (svgrendering.h), as fine as an SVG drawing is drawn.

#include "fileaccess.h"
#include "formatrows.h"
#include "picturelimits.h"
#include "svgrendering.h"

namespace {

// The renderer takes documents up to this long.
constexpr qint64 maximumDocumentBytes = 64 * 1024 * 1024;

PictureLoad decodePdf(QIODevice &file, QSize drawSize)
{
    QByteArray document = readUpTo(file, maximumDocumentBytes + 1);
    if (document.size() > maximumDocumentBytes)
        return {Picture(), Failure{Failure::Kind::TooLarge, QStringLiteral("the document is too large (more than %1 MB)")
                                                                .arg(maximumDocumentBytes >> 20)}};
    SvgRendering drawn = renderPdfPage(document, drawnSize(drawSize, false), documentPage());
    if (drawn.failure)
        return {Picture(), std::move(drawn.failure)};
    if (isTooLarge(drawn.naturalSize))
        return {Picture(), tooLargeFailure(drawn.naturalSize)};
    return {Picture::drawing(std::move(document), std::move(drawn.image), drawn.naturalSize,
                             Picture::DrawingKind::Pdf),
            std::nullopt, std::move(drawn.note)};
}

class PdfReader : public FormatReader
{
public:
    PictureLoad decodeWhole(QIODevice &device, QSize drawSize, DrawDetail) override
    {
        return decodePdf(device, drawSize);
    }
};

} // namespace

// "%PDF-" within the first 1024 bytes, where readers of PDF look for it:
// some files carry a few bytes before it.
bool isPdf(QIODevice &device, const QByteArray &)
{
    return device.peek(1024).contains("%PDF-");
}

std::unique_ptr<FormatReader> openPdfReader(QIODevice &, const QByteArray &)
{
    return std::make_unique<PdfReader>();
}
