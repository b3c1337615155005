// The table of formats, and the one place a picture's format is recognised.

#include "formats.h"

#include "formatrows.h"

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
    // that a RIFF file of form "ACON" is an animated cursor, not a WebP
    // (whose reader takes every RIFF file, to name what is wrong with it),
    // and, for a TGA, whose header has no signature, that an icon's
    // directory is an icon's.
    static const std::vector<PictureFormat> formats = {
        {QStringLiteral("BMP"), {"bmp", "dib"}, {}, isBmp, openBmpReader},
        {QStringLiteral("JPEG"), {"jpg", "jpeg", "jpe", "jfif"}, {}, isJpeg, openJpegReader},
        {QStringLiteral("GIF"), {"gif"}, {"GIF87a", "GIF89a"}, isGif, openGifReader},
        {QStringLiteral("PNG"), {"png"}, {QByteArrayLiteral("\x89PNG\r\n\x1A\n")}, isPng, openPngReader},
        {QStringLiteral("ANI"), {"ani"}, {}, isAniFile, openCursorAnimationReader},
        {QStringLiteral("WebP"), {"webp"}, {"RIFF"}, isWebp, openWebpReader},
        {QStringLiteral("ICO/CUR"), {"ico", "cur"}, {QByteArray("\0\0\1\0", 4), QByteArray("\0\0\2\0", 4)}, isIcon,
         openIconReader},
        {QStringLiteral("Xcursor"), {}, {"Xcur"}, isXcursorFile, openCursorAnimationReader},
        {QStringLiteral("ICNS"), {"icns"}, {"icns"}, isIcnsFile, openIcnsReader},
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
            return format.open(device, head);
    return std::make_unique<FormatReader>();
}

QStringList pictureEndings()
{
    QStringList endings;
    for (const PictureFormat &format : pictureFormats())
        endings += format.endings;
    return endings;
}
