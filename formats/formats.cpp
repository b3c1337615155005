// The table of formats, and the one place a picture's format is recognised.

#include "formats.h"

#include "formatrows.h"
#include "icondirectory.h"
#include "littleendian.h"
#include "svgdocument.h"
#include "tgaheader.h"
#include "tiffdevice.h"

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

const QByteArray pngSignature = QByteArrayLiteral("\x89PNG\r\n\x1A\n");

bool isBmp(QIODevice &, const QByteArray &head)
{
    return head.startsWith("BM");
}

bool isJpeg(QIODevice &, const QByteArray &head)
{
    return head.startsWith("\xFF\xD8");
}

bool isGif(QIODevice &, const QByteArray &head)
{
    return head.startsWith("GIF87a") || head.startsWith("GIF89a");
}

bool isPng(QIODevice &, const QByteArray &head)
{
    return head.startsWith(pngSignature);
}

bool isWebp(QIODevice &, const QByteArray &head)
{
    return head.startsWith("RIFF");
}

// A directory: reserved zero, type 1 (icon) or 2 (cursor), and at least one
// image, or a file that ends before it says how many. One that lists none
// is no icon (it may be a TGA).
bool isIcon(QIODevice &, const QByteArray &head)
{
    return hasIconSignature(head) && (head.size() < 6 || fieldAt<quint16>(head, 4) > 0);
}

bool isTiff(QIODevice &, const QByteArray &head)
{
    return looksLikeTiff(head.left(4));
}

// "P1" to "P6": the header's numbers are read by the reader.
bool isPnm(QIODevice &, const QByteArray &head)
{
    return head.size() >= 2 && head.at(0) == 'P' && head.at(1) >= '1' && head.at(1) <= '6';
}

bool isSvg(QIODevice &device, const QByteArray &)
{
    return looksLikeSvg(device);
}

// A TGA has no signature: its header's fields agree with one another.
bool isTga(QIODevice &, const QByteArray &head)
{
    return tgaHeaderOf(head).has_value();
}

} // namespace

const std::vector<PictureFormat> &pictureFormats()
{
    // Each row's recognition excludes those before it: the order decides
    // only for a TGA, whose header has no signature, that an icon's
    // directory is an icon's.
    static const std::vector<PictureFormat> formats = {
        {QStringLiteral("BMP"), {"bmp", "dib"}, {}, isBmp, openBmpReader},
        {QStringLiteral("JPEG"), {"jpg", "jpeg", "jpe", "jfif"}, {}, isJpeg, openJpegReader},
        {QStringLiteral("GIF"), {"gif"}, {"GIF87a", "GIF89a"}, isGif, openGifReader},
        {QStringLiteral("PNG"), {"png"}, {pngSignature}, isPng, openPngReader},
        {QStringLiteral("WebP"), {"webp"}, {"RIFF"}, isWebp, openWebpReader},
        {QStringLiteral("ICO/CUR"), {"ico", "cur"}, {QByteArray("\0\0\1\0", 4), QByteArray("\0\0\2\0", 4)}, isIcon,
         openIconReader},
        {QStringLiteral("TIFF"), {"tif", "tiff"}, {}, isTiff, openTiffReader},
        {QStringLiteral("PBM/PGM/PPM"), {"pbm", "pgm", "ppm", "pnm"}, {}, isPnm, openPnmReader},
        {QStringLiteral("SVG"), {"svg", "svgz"}, {}, isSvg, openSvgReader},
        {QStringLiteral("TGA"), {"tga"}, {}, isTga, openTgaReader},
    };
    return formats;
}

std::unique_ptr<FormatReader> openPictureReader(QIODevice &device)
{
    const QByteArray head = device.peek(64);
    if (endsWithinASignature(head))
        return std::make_unique<EndsWithinSignature>();
    for (const PictureFormat &format : pictureFormats())
        if (format.recognises(device, head))
            return format.open(device);
    return std::make_unique<FormatReader>();
}

QStringList pictureEndings()
{
    QStringList endings;
    for (const PictureFormat &format : pictureFormats())
        endings += format.endings;
    return endings;
}
