#include "appicons.h"

#include "atomicfile.h"
#include "faviconset.h"
#include "folderlisting.h"
#include "icns.h"
#include "iconsizes.h"
#include "icontheme.h"
#include "openinput.h"
#include "pictureencoding.h"

#include <QDir>

#include <map>

namespace {

// A whole file made of the sources, or why the pictures cannot make it.
struct Made
{
    QByteArray bytes;
    std::optional<Failure> failure;
};

Made icnsOf(const std::vector<Picture> &sources, bool enlarge, bool keyBlack)
{
    IconSizePlan plan = planIconSizes(sources, icnsSizes(), enlarge);
    if (plan.failure)
        return {QByteArray(), std::move(plan.failure)};
    std::map<int, QByteArray> pngOfSide;
    for (const QImage &square : squareImagesOf(sources, plan.sources, keyBlack))
        pngOfSide[square.width()] = encodePng(square);
    std::vector<IcnsElement> elements;
    for (const IcnsPngType &type : icnsPngTypes())
        elements.push_back({QByteArray(type.type), pngOfSide.at(type.side)});
    return {encodeIcns(elements), std::nullopt};
}

Made windowsIconOf(const std::vector<Picture> &sources, bool enlarge, bool keyBlack)
{
    IconSizePlan plan = planIconSizes(sources, IconSizes::windows(), enlarge);
    if (plan.failure)
        return {QByteArray(), std::move(plan.failure)};
    return {encodeIconSizes(sources, plan.sources, keyBlack), std::nullopt};
}

// Writes `made` as `file` in the subfolder `folder` of the set, the folder
// made first; names it in `set.written`, or sets the failure.
bool writeMade(const Made &made, const QDir &set, const QString &folder, const QString &file, const Operand &picture,
               AppIconFiles &files)
{
    if (made.failure) {
        files.failure = RunFailure{RunFailure::Step::MakeIcon, picture, std::nullopt, *made.failure};
        files.badCombination = true;
        return false;
    }
    const QString place = set.filePath(folder);
    if (std::optional<Failure> failure = makeFolders(place)) {
        files.failure = RunFailure{RunFailure::Step::MakeFolder, Operand::output(place), picture, std::move(*failure)};
        return false;
    }
    const QString path = QDir(place).filePath(file);
    if (std::optional<Failure> failure = writeFile(path, made.bytes)) {
        files.failure = RunFailure{RunFailure::Step::Write, Operand::output(path), picture, std::move(*failure)};
        return false;
    }
    files.written << path;
    return true;
}

// The Linux theme and the web's set, after the Windows and macOS icons.
void writeThemeAndWeb(const std::vector<Picture> &sources, const AppIconsRequest &request, AppIconFiles &files)
{
    const QDir set(request.folder);
    const Operand picture = Operand::input(request.inputs.first());
    IconThemeFiles theme = writeIconThemeOf(sources, picture, set.filePath(QStringLiteral("linux")), request.name, request.keyBlack);
    files.written << theme.written;
    if (theme.failure) {
        files.failure = std::move(theme.failure);
        files.badCombination = theme.badCombination;
        return;
    }
    const QString web = set.filePath(QStringLiteral("web"));
    if (std::optional<Failure> failure = makeFolders(web)) {
        files.failure = RunFailure{RunFailure::Step::MakeFolder, Operand::output(web), picture, std::move(*failure)};
        return;
    }
    FaviconSet favicons = writeFaviconSetOf(sources, request.inputs, web, request.background, request.keyBlack);
    files.written << favicons.written;
    files.links = std::move(favicons.links);
    files.failure = std::move(favicons.failure);
    files.badCombination = favicons.badCombination;
}

} // namespace

const std::vector<int> &icnsSizes()
{
    static const std::vector<int> sizes = {1024, 512, 256, 128, 64, 32, 16};
    return sizes;
}

Converted makeIcns(const ConversionOptions &options, const QStringList &inputs)
{
    SourcesLoad load = loadAllSources(inputs, icnsSizes().front());
    if (load.failure)
        return {QByteArray(), std::move(load.failure), false, {}};
    // One file's pictures may be enlarged where they must, as for --sizes.
    Made made = icnsOf(load.sources, inputs.size() == 1, options.keyBlack);
    if (made.failure)
        return {QByteArray(), RunFailure{RunFailure::Step::MakeIcon, Operand::input(inputs.first()), std::nullopt,
                                         std::move(*made.failure)},
                true, {}};
    return {made.bytes, std::nullopt, false, std::move(load.notes)};
}

AppIconFiles writeAppIcons(const AppIconsRequest &request)
{
    AppIconFiles files;
    // Each picture is read once, with detail enough for the largest size of
    // all, 1024; every file is made from those.
    SourcesLoad load = loadAllSources(request.inputs, icnsSizes().front());
    files.notes = std::move(load.notes);
    if ((files.failure = std::move(load.failure)))
        return files;
    const bool enlarge = request.inputs.size() == 1;
    const QDir set(request.folder);
    const Operand picture = Operand::input(request.inputs.first());
    if (writeMade(windowsIconOf(load.sources, enlarge, request.keyBlack), set, QStringLiteral("windows"),
                  request.name + QStringLiteral(".ico"), picture, files)
        && writeMade(icnsOf(load.sources, enlarge, request.keyBlack), set, QStringLiteral("macos"),
                     request.name + QStringLiteral(".icns"), picture, files))
        writeThemeAndWeb(load.sources, request, files);
    return files;
}
