// Looks an icon up by name in the desktop's icon themes, as a program does
// for its window and launcher icon: QIcon::fromTheme(NAME), in the theme
// the platform names or, when it names none, in hicolor, which every theme
// falls back to. Prints "sizes" and each size the icon is found in, then
// for each SIZE asked for "SIZE WIDTHxHEIGHT MD5" of the pixmap drawn at
// that size, its pixels premultiplied ARGB32; "not found" (exit status 1)
// when no theme holds the icon.
//
// Usage: lookupicon NAME [SIZE...]

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>

namespace {

// The icon theme folders of a Linux desktop, found as Qt's own desktop
// platform themes find them: ~/.icons, then the "icons" folder of
// XDG_DATA_HOME and of each of XDG_DATA_DIRS. The offscreen platform looks
// in Qt's resources alone.
QStringList desktopIconFolders()
{
    QStringList folders;
    if (QFileInfo(QDir::homePath() + QStringLiteral("/.icons")).isDir())
        folders << QDir::homePath() + QStringLiteral("/.icons");
    return folders + QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                               QStandardPaths::LocateDirectory);
}

// "sizes" and each size the icon is found in, smallest first.
QString sizesLine(const QIcon &icon)
{
    QList<int> sides;
    for (const QSize &size : icon.availableSizes())
        if (!sides.contains(size.width()))
            sides << size.width();
    std::sort(sides.begin(), sides.end());
    QString line = QStringLiteral("sizes");
    for (int side : sides)
        line += QStringLiteral(" %1").arg(side);
    return line;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2)
        return 2;
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("hicolor"));
    QIcon::setThemeSearchPaths(desktopIconFolders() + QIcon::themeSearchPaths());
    const QIcon icon = QIcon::fromTheme(arguments[1]);
    if (icon.isNull()) {
        std::puts("not found");
        return 1;
    }
    std::puts(qPrintable(sizesLine(icon)));
    for (const QString &asked : arguments.mid(2)) {
        const int side = asked.toInt();
        const QImage image = icon.pixmap(side, side).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QByteArray pixels(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes());
        std::printf("%d %dx%d %s\n", side, image.width(), image.height(),
                    QCryptographicHash::hash(pixels, QCryptographicHash::Md5).toHex().constData());
    }
    return 0;
}
