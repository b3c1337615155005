// JPEG pictures: the segments walked up to the end marker, sequential
// photos read reduced through libjpeg, the rest by Qt's reader at a reduced
// scale where it keeps detail enough. The frame and scans are walked once
// for both.

#include "formatrows.h"
#include "jpegstructure.h"
#include "picturelimits.h"
#include "qtdecode.h"
#include "reducedpicture.h"
#include "reducedreaders.h"

namespace {

// How Qt's reader is to decode a JPEG the reduced reader left to it (CMYK,
// damaged, or decoded whole: progressive): at the same scale where one
// keeps detail enough, the size rounded down so that Qt's reader picks
// exactly that scale; and what the decode holds meanwhile, in pixels of
// four bytes, its output and, for a JPEG decoded whole, every coefficient
// of the picture. Or why it is refused: it has too many scans, or holds
// more than the whole-decode limit allows.
QtDecodePlan planJpegDecode(const JpegLayout &layout, QSize stored, QSize drawSize, DrawDetail detail)
{
    QtDecodePlan plan;
    if (layout.scans > maximumJpegScans) {
        plan.refusal = Failure{Failure::Kind::NotAPicture,
                               QStringLiteral("the JPEG has too many scans (more than %1)").arg(maximumJpegScans)};
        return plan;
    }
    const int eighths = stored.isValid() && drawSize.isValid()
                            ? jpegScaleEighths(stored, readerDrawSize(stored, drawSize, detail, 2)) : 0;
    if (eighths > 0)
        plan.scaled = QSize(stored.width() * eighths / 8, stored.height() * eighths / 8);
    plan.heldPixels = pixelsOf(plan.scaled.isValid() ? plan.scaled : stored);
    if (layout.decodedWhole)
        plan.heldPixels += layout.coefficientBytes / 4;
    if ((layout.decodedWhole || !plan.scaled.isValid()) && isTooLarge(stored, maximumFullDecodePixels))
        plan.refusal = tooLargeFailure(stored, maximumFullDecodePixels);
    else if (plan.heldPixels > maximumFullDecodePixels)
        plan.refusal = Failure{Failure::Kind::TooLarge,
                               QStringLiteral("the picture is too large (%1 x %2 pixels, stored in several scans; "
                                              "at most %3 million are held while one is read)")
                                   .arg(stored.width())
                                   .arg(stored.height())
                                   .arg(maximumFullDecodePixels / 1'000'000)};
    return plan;
}

class JpegReader : public FormatReader
{
public:
    bool isCutShort(QIODevice &device) override { return walksCutShort(device, walkJpeg); }

    // A photo at the scale that keeps two pixels for each drawn pixel: at
    // 1/8 each decoded pixel is already the mean of an 8 x 8 block, and
    // finer scales cost decoding time. Its header is read by libjpeg, as
    // Qt's reader reads it, orientation tag included; one that is
    // progressive, too large, or not a picture at all is left to the whole
    // decode.
    std::optional<Picture> readReduced(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        if (!drawSize.isValid())
            return std::nullopt;
        const JpegHeader &read = header(device);
        if (!read.stored.isValid() || read.stored.isEmpty() || isTooLarge(read.stored) || layout(device).decodedWhole)
            return std::nullopt;
        return pictureOf(readReducedJpeg(device, readerDrawSize(read.stored, drawSize, detail, 2), read.orientation));
    }

    PictureLoad decodeWhole(QIODevice &device, QSize drawSize, DrawDetail detail) override
    {
        QtReadSteps steps;
        steps.qtFormat = "jpeg";
        steps.plan = planJpegDecode(layout(device), header(device).stored, drawSize, detail);
        return decodeWithQt(device, {}, steps);
    }

private:
    // The header and the frame and scans, each read the first time it is
    // asked for, from where the file begins.
    const JpegHeader &header(QIODevice &device)
    {
        if (!m_header)
            m_header = readJpegHeader(device);
        return *m_header;
    }
    const JpegLayout &layout(QIODevice &device)
    {
        if (!m_layout)
            m_layout = jpegLayout(device, maximumJpegScans);
        return *m_layout;
    }

    std::optional<JpegHeader> m_header;
    std::optional<JpegLayout> m_layout;
};

} // namespace

std::unique_ptr<FormatReader> openJpegReader(QIODevice &)
{
    return std::make_unique<JpegReader>();
}
