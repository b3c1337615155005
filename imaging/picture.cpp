// Reading a picture: what its header says first, then a reduced reader if
// one takes it, else the whole decode.

#include "picture.h"

#include "fileaccess.h"
#include "nativename.h"
#include "pictureprobe.h"
#include "reducedread.h"
#include "wholedecode.h"

#include <QDir>
#include <QFile>

Picture::Picture(QImage image, QSize naturalSize, QSizeF extent)
    : m_image(std::move(image))
    , m_size(naturalSize.isValid() ? naturalSize : m_image.size())
    , m_extent(extent.isValid() ? extent : QSizeF(m_image.size()))
{
}

Picture Picture::drawing(QByteArray svg, QImage drawn, QSize naturalSize)
{
    Picture picture(std::move(drawn), naturalSize);
    picture.m_svg = std::move(svg);
    return picture;
}

QString cannotOpen(const QString &path, const Failure &failure)
{
    return QStringLiteral("Tervana cannot open \"%1\": %2.").arg(readableName(QDir::toNativeSeparators(path)), failure.reason);
}

const QList<QByteArray> &readableFormats()
{
    // The picture kinds the open dialog offers, icons and cursors (a saved
    // icon is read back), and the kinds icons are commonly made from. SVG is
    // read by Tervana's own checks first (svgdocument.h). Other image plugins
    // a system may have are not trusted with files the user did not mean as
    // pictures.
    static const QList<QByteArray> formats = {"jpeg", "gif", "bmp", "ico", "png", "webp", "tiff",
                                              "tga",  "pbm", "pgm", "ppm"};
    return formats;
}

PictureLoad LoadPicture(const QString &path, QSize drawSize, DrawDetail detail)
{
    QFile file;
    if (std::optional<Failure> failed = openRegularFile(path, file))
        return {Picture(), std::move(failed)};
    return readPicture(file, drawSize, detail);
}

PictureLoad readPicture(QIODevice &device, QSize drawSize, DrawDetail detail)
{
    // The checks look back at the header; a pipe cannot go back.
    if (device.isSequential())
        return {Picture(), Failure::notARegularFile()};
    const QSize claimed = headerClaimedSize(device);
    if (std::optional<Failure> refused = refusalBeforeDecoding(device, claimed))
        return {Picture(), std::move(refused)};
    if (std::optional<Picture> reduced = readReducedPicture(device, claimed, drawSize, detail))
        return {std::move(*reduced), std::nullopt};
    return decodeWholePicture(device, claimed, drawSize, detail);
}
