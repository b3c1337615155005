#include "icontheme.h"

#include "iconsizes.h"
#include "openinput.h"
#include "pictureencoding.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The folder of one fixed size, as hicolor names it.
QString sizeFolder(int side)
{
    return QStringLiteral("%1x%1/apps").arg(side);
}

const QString scalableFolder = QStringLiteral("scalable/apps");

// The first line of the index.theme earlier versions wrote into hicolor,
// which tells it from the one the system's hicolor-icon-theme installs.
const QByteArray earlierIndexMark = "# Written by Tervana, as no index.theme was here";

// Removes hicolor/index.theme when an earlier version of Tervana wrote it:
// the hicolor theme's index belongs to the system, and desktops take the
// first one they find, so that one, listing only Tervana's own folders,
// hid every other program's icons. Returns the path when it was removed.
std::optional<QString> removeEarlierIndex(const SetWriter &set)
{
    const QString index = set.pathOf(QStringLiteral("hicolor/index.theme"));
    const QFileInfo info(index);
    QFile file(index);
    if (info.isSymLink() || !info.isFile() || !file.open(QIODevice::ReadOnly) || !file.readLine().startsWith(earlierIndexMark))
        return std::nullopt;
    file.close();
    return QFile::remove(index) ? std::optional<QString>(index) : std::nullopt;
}

} // namespace

SetFiles writeIconTheme(const SetRequest &request)
{
    SourcesLoad load = loadAllSources(request.inputs, IconSizes::iconTheme().back());
    SetFiles theme;
    if (load.failure)
        theme.failure = std::move(load.failure);
    else
        theme = writeIconThemeOf(load.sources, Operand::input(request.inputs.first()),
                                 SetWriter({request.folder, {}}, request.inputs), request.name, request.keyBlack);
    for (RunNote &note : load.notes)
        addNote(theme.notes, std::move(note));
    return theme;
}

SetFiles writeIconThemeOf(const std::vector<Picture> &sources, const Operand &picture, SetWriter set,
                          const QString &name, bool keyBlack)
{
    // The theme has every size whatever the pictures hold: a size larger
    // than all of them is the largest enlarged, which loses least.
    IconSizePlan plan = planIconSizes(sources, IconSizes::iconTheme(), true);
    SetFiles theme;
    if (plan.failure) {
        theme.failure = RunFailure{RunFailure::Step::MakeIcon, picture, std::nullopt, std::move(*plan.failure)};
        theme.badCombination = true;
        return theme;
    }
    QStringList names;
    for (int side : IconSizes::iconTheme())
        names << QStringLiteral("hicolor/%1/%2.png").arg(sizeFolder(side), name);
    names << QStringLiteral("hicolor/%1/%2.svg").arg(scalableFolder, name);
    if ((theme.failure = set.firstRefusal(names)))
        return theme;
    const auto finish = [&theme, &set](std::optional<RunFailure> failure) {
        theme.written = set.written();
        theme.failure = std::move(failure);
        return theme;
    };
    if (std::optional<RunNote> enlarged = enlargedNote(sources, plan.sources, {picture.name()}))
        theme.notes.push_back(std::move(*enlarged));
    const std::vector<QByteArray> pngs = squarePngsOf(sources, plan.sources, keyBlack);
    for (size_t i = 0; i < pngs.size(); ++i)
        if (std::optional<RunFailure> failure = set.write(
                QStringLiteral("hicolor/%1/%2.png").arg(sizeFolder(plan.sources[i].side), name), pngs[i], picture))
            return finish(std::move(failure));
    if (const Picture *drawing = firstDrawing(sources); drawing && !drawing->svg().isEmpty())
        if (std::optional<RunFailure> failure =
                set.write(QStringLiteral("hicolor/%1/%2.svg").arg(scalableFolder, name), drawing->svg(), picture))
            return finish(std::move(failure));
    if (std::optional<QString> removed = removeEarlierIndex(set))
        theme.removed << *removed;
    return finish(std::nullopt);
}
