#include "icontheme.h"

#include "atomicfile.h"
#include "folderlisting.h"
#include "iconsizes.h"
#include "openinput.h"
#include "pictureencoding.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The folder of one fixed size, as hicolor names it.
QString sizeFolder(int side)
{
    return QStringLiteral("%1x%1/apps").arg(side);
}

const QString scalableFolder = QStringLiteral("scalable/apps");

// The drawing the sizes are drawn from, when one of the pictures is one.
const Picture *firstDrawing(const std::vector<Picture> &pictures)
{
    for (const Picture &picture : pictures)
        if (picture.isDrawing())
            return &picture;
    return nullptr;
}

// Writes `bytes` as `file` of the theme, its folder made first; names it
// in `theme.written`, or sets the failure. Returns whether it was written.
bool writeThemeFile(const QDir &hicolor, const QString &file, const QByteArray &bytes, const Operand &picture,
                    IconThemeFiles &theme)
{
    const QString path = hicolor.filePath(file);
    const QString folder = QFileInfo(path).path();
    if (std::optional<Failure> failure = makeFolders(folder)) {
        theme.failure = RunFailure{RunFailure::Step::MakeFolder, Operand::output(folder), picture, std::move(*failure)};
        return false;
    }
    if (std::optional<Failure> failure = writeFile(path, bytes)) {
        theme.failure = RunFailure{RunFailure::Step::Write, Operand::output(path), picture, std::move(*failure)};
        return false;
    }
    theme.written << path;
    return true;
}

// Whether anything is at `path`, a link that leads nowhere among them.
bool somethingAt(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymLink() || info.exists();
}

} // namespace

const std::vector<int> &iconThemeSizes()
{
    static const std::vector<int> sizes = {16, 22, 24, 32, 48, 64, 128, 256, 512};
    return sizes;
}

QByteArray hicolorIndex()
{
    QStringList folders;
    for (int side : iconThemeSizes())
        folders << sizeFolder(side);
    folders << scalableFolder;
    // Qt and GTK look a theme's icons up only in the folders its
    // index.theme describes: a hicolor folder without one is not searched.
    QString text = QStringLiteral("# Written by Tervana, as no index.theme was here: without one, Qt's and GTK's\n"
                                  "# icon lookups see no folders in this hicolor theme, and find none of its icons.\n"
                                  "[Icon Theme]\nName=Hicolor\nComment=Fallback icon theme\nDirectories=%1\n")
                       .arg(folders.join(QLatin1Char(',')));
    for (int side : iconThemeSizes())
        text += QStringLiteral("\n[%1]\nSize=%2\nContext=Applications\nType=Fixed\n").arg(sizeFolder(side)).arg(side);
    text += QStringLiteral("\n[%1]\nSize=128\nMinSize=1\nMaxSize=512\nContext=Applications\nType=Scalable\n").arg(scalableFolder);
    return text.toUtf8();
}

IconThemeFiles writeIconTheme(const QStringList &inputs, const QString &folder, const QString &name, bool keyBlack)
{
    SourcesLoad load = loadAllSources(inputs, iconThemeSizes().back());
    if (load.failure)
        return {{}, std::move(load.failure), false, {}};
    IconThemeFiles theme = writeIconThemeOf(load.sources, Operand::input(inputs.first()), folder, name, keyBlack);
    theme.partlyDrawn = std::move(load.notes);
    return theme;
}

IconThemeFiles writeIconThemeOf(const std::vector<Picture> &sources, const Operand &picture, const QString &folder,
                                const QString &name, bool keyBlack)
{
    // The theme has every size whatever the pictures hold: a size larger
    // than all of them is the largest enlarged, which loses least.
    IconSizePlan plan = planIconSizes(sources, iconThemeSizes(), true);
    if (plan.failure)
        return {{}, RunFailure{RunFailure::Step::MakeIcon, picture, std::nullopt, std::move(*plan.failure)}, true, {}};
    IconThemeFiles theme;
    const QDir hicolor(QDir(folder).filePath(QStringLiteral("hicolor")));
    for (const QImage &square : squareImagesOf(sources, plan.sources, keyBlack))
        if (!writeThemeFile(hicolor, QStringLiteral("%1/%2.png").arg(sizeFolder(square.width()), name), encodePng(square),
                            picture, theme))
            return theme;
    if (const Picture *drawing = firstDrawing(sources))
        if (!writeThemeFile(hicolor, QStringLiteral("%1/%2.svg").arg(scalableFolder, name), drawing->svg(), picture, theme))
            return theme;
    const QString index = QStringLiteral("index.theme");
    if (!somethingAt(hicolor.filePath(index)))
        writeThemeFile(hicolor, index, hicolorIndex(), picture, theme);
    return theme;
}
