// Looks an icon up as a program does for its window and launcher:
// QIcon::fromTheme(NAME) in the platform's theme, or hicolor, which every
// theme falls back to. Prints "sizes" and the sizes found, then for each
// SIZE asked "SIZE WxH MD5" of pixmap(SIZE) as premultiplied ARGB32; or
// "not found" (exit status 1). Usage: lookupicon NAME [SIZE...]

#include <QCryptographicHash>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QStandardPaths>

#include <cstdio>
#include <set>

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2)
        return 2;
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("hicolor"));
    // The offscreen platform looks in Qt's resources alone; the desktops'
    // platform themes look in ~/.icons and each $XDG_DATA_DIRS/icons.
    QIcon::setThemeSearchPaths(QStringList{QDir::homePath() + QStringLiteral("/.icons")}
                               + QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                           QStandardPaths::LocateDirectory));
    const QIcon icon = QIcon::fromTheme(arguments[1]);
    if (icon.isNull())
        return std::puts("not found"), 1;
    std::set<int> sides;
    for (const QSize &size : icon.availableSizes())
        sides.insert(size.width());
    std::printf("sizes");
    for (int side : sides)
        std::printf(" %d", side);
    for (const QString &asked : arguments.mid(2)) {
        const QImage image = icon.pixmap(asked.toInt()).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QByteArray pixels(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes());
        std::printf("\n%s %dx%d %s", qPrintable(asked), image.width(), image.height(),
                    QCryptographicHash::hash(pixels, QCryptographicHash::Md5).toHex().constData());
    }
    std::printf("\n");
    return 0;
}
