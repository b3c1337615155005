#include "appicons.h"

#include "faviconset.h"
#include "icns.h"
#include "iconsizes.h"
#include "icontheme.h"
#include "openinput.h"
#include "pictureencoding.h"

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
    IconSizePlan plan = planIconSizes(sources, IconSizes::icns(), enlarge);
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

// Writes `made` as `name` of the set; or sets the failure.
bool writeMade(const Made &made, SetWriter &set, const QString &name, const Operand &picture, SetFiles &files)
{
    if (made.failure) {
        files.failure = RunFailure{RunFailure::Step::MakeIcon, picture, std::nullopt, *made.failure};
        files.badCombination = true;
        return false;
    }
    files.failure = set.write(name, made.bytes, picture);
    return !files.failure;
}

// The Linux theme and the web's set, after the Windows and macOS icons.
void writeThemeAndWeb(const std::vector<Picture> &sources, const SetRequest &request, const SetWriter &set,
                      SetFiles &files)
{
    const Operand picture = Operand::input(request.inputs.first());
    SetFiles theme =
        writeIconThemeOf(sources, picture, set.within(QStringLiteral("linux")), request.name, request.keyBlack);
    files.written << theme.written;
    files.removed << theme.removed;
    if (theme.failure) {
        files.failure = std::move(theme.failure);
        files.badCombination = theme.badCombination;
        return;
    }
    SetFiles favicons = writeFaviconSetOf(sources, request.inputs, set.within(QStringLiteral("web")),
                                          webAppOf(request));
    files.written << favicons.written;
    files.keptAsItIs = favicons.keptAsItIs;
    files.links = std::move(favicons.links);
    files.failure = std::move(favicons.failure);
    files.badCombination = favicons.badCombination;
}

} // namespace

Converted makeIcns(const ConversionOptions &options, const QStringList &inputs)
{
    SourcesLoad load = loadAllSources(inputs, IconSizes::icns().front());
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

SetFiles writeAppIcons(const SetRequest &request)
{
    SetFiles files;
    // Each picture is read once, with detail enough for the largest size of
    // all, 1024; every file is made from those.
    SourcesLoad load = loadAllSources(request.inputs, IconSizes::icns().front());
    files.notes = std::move(load.notes);
    if ((files.failure = std::move(load.failure)))
        return files;
    const bool enlarge = request.inputs.size() == 1;
    SetWriter set({request.folder, {}}, request.inputs);
    const Operand picture = Operand::input(request.inputs.first());
    const QString windows = QStringLiteral("windows/%1.ico").arg(request.name);
    const QString macos = QStringLiteral("macos/%1.icns").arg(request.name);
    if ((files.failure = set.firstRefusal({windows, macos})))
        return files;
    const bool written = writeMade(windowsIconOf(load.sources, enlarge, request.keyBlack), set, windows, picture, files)
                         && writeMade(icnsOf(load.sources, enlarge, request.keyBlack), set, macos, picture, files);
    files.written = set.written();
    if (written)
        writeThemeAndWeb(load.sources, request, set, files);
    return files;
}
