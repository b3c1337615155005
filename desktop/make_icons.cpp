// tervana-make-icons: draws the application icon that is installed for the
// desktop from the window icon's own drawing (Artwork::drawWindowIcon), so
// the launcher, the file manager and the window show one picture.
//
//   tervana-make-icons FOLDER NAME
//
// writes, under FOLDER,
//   hicolor/SxS/apps/NAME.png   for S = 16, 32, 48, 64, 128, 256
//   hicolor/scalable/apps/NAME.svg
//   NAME.ico                    16, 32, 48 and 256 pixels, for Windows

#include "artwork.h"
#include "iconset.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgGenerator>

#include <cstdio>
#include <vector>

namespace {

const int pngSides[] = {16, 32, 48, 64, 128, 256};
const int icoSides[] = {16, 32, 48, 256};

QImage drawn(int side)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    Artwork::drawWindowIcon(p, side);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush();
}

// An icon file whose images are stored as PNG, which Windows reads for
// every size (and the resource compiler copies as they are).
QByteArray icoFile()
{
    std::vector<IconImage> images;
    for (int side : icoSides)
        images.push_back({side, {}, png(drawn(side))});
    return encodeIconSet(images);
}

QByteArray svgFile()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(64, 64));
    svg.setViewBox(QRect(0, 0, 64, 64));
    svg.setTitle(QStringLiteral("Tervana"));
    svg.setDescription(QStringLiteral("A picture and the small square icon made from it"));
    QPainter p(&svg);
    Artwork::drawWindowIcon(p, 64);
    p.end();
    // The generator gives the size in millimetres and writes text attributes
    // (an empty font family, a font size of -1) on every group, though the
    // icon has no text: the icon is 64 x 64 pixels, and drops those.
    QString text = QString::fromUtf8(bytes);
    text.replace(QRegularExpression(QStringLiteral("<svg width=\"[^\"]*\" height=\"[^\"]*\"")),
                 QStringLiteral("<svg width=\"64\" height=\"64\""));
    text.remove(QRegularExpression(QStringLiteral("\\s*font-(family|size|weight|style)=\"[^\"]*\"")));
    return text.toUtf8();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "Usage: tervana-make-icons FOLDER NAME\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLocal8Bit(argv[2]);
    std::vector<std::pair<QString, QByteArray>> files;
    for (int side : pngSides)
        files.emplace_back(QStringLiteral("hicolor/%1x%1/apps/%2.png").arg(side).arg(name), png(drawn(side)));
    files.emplace_back(QStringLiteral("hicolor/scalable/apps/%1.svg").arg(name), svgFile());
    files.emplace_back(name + QStringLiteral(".ico"), icoFile());
    for (const auto &[path, bytes] : files) {
        if (bytes.isEmpty() || !writeFile(folder.filePath(path), bytes)) {
            std::fprintf(stderr, "tervana-make-icons: cannot write %s\n", qPrintable(folder.filePath(path)));
            return 1;
        }
    }
    return 0;
}
