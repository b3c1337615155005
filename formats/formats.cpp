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
        {QStringLiteral("BMP"), {"bmp", "dib"}, {"image/bmp"}, {}, isBmp, openBmpReader},
        {QStringLiteral("JPEG"), {"jpg", "jpeg", "jpe", "jfif"}, {"image/jpeg"}, {}, isJpeg, openJpegReader},
        {QStringLiteral("GIF"), {"gif"}, {"image/gif"}, {"GIF87a", "GIF89a"}, isGif, openGifReader},
        {QStringLiteral("PNG"), {"png"}, {"image/png"}, {QByteArrayLiteral("\x89PNG\r\n\x1A\n")}, isPng,
         openPngReader},
        {QStringLiteral("ANI"), {"ani"}, {"application/x-navi-animation"}, {}, isAniFile, openCursorAnimationReader},
        {QStringLiteral("WebP"), {"webp"}, {"image/webp"}, {"RIFF"}, isWebp, openWebpReader},
        // A cursor's type is the Windows bitmap's in the desktop's MIME
        // database; an icon goes by two names, the registered one and the
        // one most programs still send.
        {QStringLiteral("ICO/CUR"), {"ico", "cur"}, {"image/vnd.microsoft.icon", "image/x-icon", "image/x-win-bitmap"},
         {QByteArray("\0\0\1\0", 4), QByteArray("\0\0\2\0", 4)}, isIcon, openIconReader},
        {QStringLiteral("Xcursor"), {}, {"image/x-xcursor"}, {"Xcur"}, isXcursorFile, openCursorAnimationReader},
        {QStringLiteral("ICNS"), {"icns"}, {"image/x-icns"}, {"icns"}, isIcnsFile, openIcnsReader},
        {QStringLiteral("TIFF"), {"tif", "tiff"}, {"image/tiff"}, {}, isTiff, openTiffReader},
        {QStringLiteral("PBM/PGM/PPM"), {"pbm", "pgm", "ppm", "pnm"},
         {"image/x-portable-bitmap", "image/x-portable-graymap", "image/x-portable-pixmap", "image/x-portable-anymap"},
         {}, isPnm, openPnmReader},
        {QStringLiteral("SVG"), {"svg", "svgz"}, {"image/svg+xml", "image/svg+xml-compressed"}, {}, isSvg,
         openSvgReader},
        {QStringLiteral("JPEG 2000"), {"jp2", "j2k", "j2c", "jpc"}, {"image/jp2", "image/x-jp2-codestream"},
         {QByteArray("\0\0\0\x0cjP  \r\n\x87\n", 12), QByteArray("\xFF\x4F\xFF\x51")}, isJpeg2000File,
         openJpeg2000Reader},
        // Told by the brands their file type box names, AVIF's first: a
        // file may name both kinds of brand, and only the AVIF ones say AV1.
        {QStringLiteral("AVIF"), {"avif"}, {"image/avif"}, {}, isAvif, openHeifReader},
        {QStringLiteral("HEIC"), {"heic", "heif", "hif"},
         {"image/heic", "image/heif", "image/heic-sequence", "image/heif-sequence"}, {}, isHeic, openHeifReader},
        // Photoshop documents, .psb the large ones; most programs still
        // send the older of the two types.
        {QStringLiteral("PSD"), {"psd", "psb"}, {"image/vnd.adobe.photoshop", "image/x-psd"}, {"8BPS"}, isPsd,
         openPsdReader},
        // PDF documents and Illustrator files, which current Illustrator
        // writes as PDF. A PDF viewer, not Tervana, should be what opens
        // them from the desktop, and converting every PDF under a folder
        // would be a surprise: only those named are read.
        {QStringLiteral("PDF"), {"pdf", "ai"}, {"application/pdf", "application/illustrator"}, {"%PDF-"}, isPdf,
         openPdfReader, false, false},
        {QStringLiteral("TGA"), {"tga"}, {"image/x-tga"}, {}, isTga, openTgaReader},
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

QStringList folderPictureEndings()
{
    QStringList endings;
    for (const PictureFormat &format : pictureFormats())
        if (format.readInFolders)
            endings += format.endings;
    return endings;
}

QStringList pictureEndings()
{
    QStringList endings;
    for (const PictureFormat &format : pictureFormats())
        endings += format.endings;
    return endings;
}
