// The table of formats, and the one place a picture's format is recognised.

#include "formats.h"

#include "formatrows.h"

#include <algorithm>

namespace {

// A file that ends within a format's signature: its first bytes say what
// it would be, and its end comes before anything else does.
class EndsWithinSignature : public FormatReader
{
public:
    bool isCutShort(QIODevice &) override { return true; }
};

bool endsWithinASignature(const QByteArray &head)
{
    for (const PictureFormat &format : pictureFormats())
        for (const QByteArray &signature : format.signatures)
            if (head.size() >= 2 && head.size() < signature.size() && signature.startsWith(head))
                return true;
    return false;
}

} // namespace

const std::vector<PictureFormat> &pictureFormats()
{
    // Each row's recognition excludes those before it: the order decides
    // only for a TGA, whose header has no signature, that an icon's
    // directory is an icon's.
    static const std::vector<PictureFormat> formats = {bmpFormat(),  jpegFormat(), gifFormat(), pngFormat(),
                                                       webpFormat(), iconFormat(), tiffFormat(), pnmFormat(),
                                                       svgFormat(),  tgaFormat()};
    return formats;
}

std::unique_ptr<FormatReader> openPictureReader(QIODevice &device)
{
    const QByteArray head = device.peek(64);
    if (endsWithinASignature(head))
        return std::make_unique<EndsWithinSignature>();
    const std::vector<PictureFormat> &formats = pictureFormats();
    const auto format = std::find_if(formats.begin(), formats.end(),
                                     [&](const PictureFormat &row) { return row.recognises(device, head); });
    if (format == formats.end())
        return std::make_unique<FormatReader>();
    return format->open(device);
}

QStringList pictureEndings()
{
    QStringList endings;
    for (const PictureFormat &format : pictureFormats())
        endings += format.endings;
    return endings;
}
