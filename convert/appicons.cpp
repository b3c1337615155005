#include "appicons.h"

#include "faviconset.h"
#include "icns.h"
#include "iconsizes.h"
#include "icontheme.h"
#include "openinput.h"
#include "platformimages.h"
#include "platformsets.h"
#include "pictureencoding.h"

#include <algorithm>
#include <map>

namespace {

// A whole file made of the sources, or why the pictures cannot make it;
// the sizes enlarged for it.
struct Made
{
    QByteArray bytes;
    std::optional<Failure> failure;
    std::optional<RunNote> enlarged;
};

// One file's pictures may be enlarged where they must, as for --sizes.
Made icnsOf(const std::vector<Picture> &sources, const QStringList &inputs, bool keyBlack)
{
    IconSizePlan plan = planIconSizes(sources, IconSizes::icns(), inputs.size() == 1);
    if (plan.failure)
        return {QByteArray(), std::move(plan.failure), std::nullopt};
    std::map<int, QByteArray> pngOfSide;
    const std::vector<QByteArray> pngs = squarePngsOf(sources, plan.sources, keyBlack);
    for (size_t i = 0; i < pngs.size(); ++i)
        pngOfSide[plan.sources[i].side] = pngs[i];
    std::vector<IcnsElement> elements;
    for (const IcnsPngType &type : icnsPngTypes())
        elements.push_back({QByteArray(type.type), pngOfSide.at(type.side)});
    return {encodeIcns(elements), std::nullopt, enlargedNote(sources, plan.sources, inputs)};
}

Made windowsIconOf(const std::vector<Picture> &sources, const QStringList &inputs, bool keyBlack)
{
    IconSizePlan plan = planIconSizes(sources, IconSizes::windows(), inputs.size() == 1);
    if (plan.failure)
        return {QByteArray(), std::move(plan.failure), std::nullopt};
    return {encodeIconSizes(sources, plan.sources, keyBlack), std::nullopt, enlargedNote(sources, plan.sources, inputs)};
}

// Writes `made` as `name` of the set: what was written, or the failure.
SetFiles writeMade(const Made &made, SetWriter set, const QString &name, const Operand &picture)
{
    SetFiles files;
    if (made.failure) {
        files.failure = RunFailure{RunFailure::Step::MakeIcon, picture, std::nullopt, *made.failure};
        files.badCombination = true;
        return files;
    }
    files.failure = set.write(name, made.bytes, picture);
    files.written = set.written();
    if (made.enlarged)
        files.notes.push_back(*made.enlarged);
    return files;
}

// What one platform's writer is given: the pictures, read once for all,
// what was asked, and its own folder.
struct PlatformWork
{
    const std::vector<Picture> &sources;
    const SetRequest &request;
    SetWriter set;
    Operand picture() const { return Operand::input(request.inputs.first()); }
};

SetFiles windowsIcon(const PlatformWork &work)
{
    return writeMade(windowsIconOf(work.sources, work.request.inputs, work.request.keyBlack), work.set,
                     QStringLiteral("%1.ico").arg(work.request.name), work.picture());
}

SetFiles macosIcon(const PlatformWork &work)
{
    return writeMade(icnsOf(work.sources, work.request.inputs, work.request.keyBlack), work.set,
                     QStringLiteral("%1.icns").arg(work.request.name), work.picture());
}

SetFiles linuxTheme(const PlatformWork &work)
{
    return writeIconThemeOf(work.sources, work.picture(), work.set, work.request.name, work.request.keyBlack);
}

SetFiles webSet(const PlatformWork &work)
{
    return writeFaviconSetOf(work.sources, work.request.inputs, work.set, webAppOf(work.request));
}

template<PlatformSet platform>
SetFiles platformSet(const PlatformWork &work)
{
    return writePlatformSetOf(platform, work.sources, work.request, work.set);
}

// Each platform: its name, which is its folder's too, and how it is
// written.
struct AppPlatform
{
    const char *name;
    SetFiles (*write)(const PlatformWork &work);
};

const std::vector<AppPlatform> &appPlatforms()
{
    static const std::vector<AppPlatform> platforms = {
        {"windows", windowsIcon},
        {"macos", macosIcon},
        {"linux", linuxTheme},
        {"web", webSet},
        {"android", platformSet<PlatformSet::Android>},
        {"ios", platformSet<PlatformSet::Ios>},
        {"msix", platformSet<PlatformSet::Msix>},
    };
    return platforms;
}

// The platforms asked for, in the order they are written.
std::vector<AppPlatform> chosenPlatforms(const QStringList &names)
{
    std::vector<AppPlatform> chosen;
    for (const AppPlatform &platform : appPlatforms())
        if (names.isEmpty() || names.contains(QLatin1String(platform.name)))
            chosen.push_back(platform);
    return chosen;
}

// Adds what one platform wrote to the whole; false when it failed.
bool addPlatform(SetFiles &files, SetFiles platform)
{
    files.written << platform.written;
    files.removed << platform.removed;
    files.keptAsItIs << platform.keptAsItIs;
    files.links << platform.links;
    for (RunNote &note : platform.notes)
        addNote(files.notes, std::move(note));
    files.failure = std::move(platform.failure);
    files.badCombination = platform.badCombination;
    return !files.failure;
}

} // namespace

Converted makeIcns(const ConversionOptions &options, const QStringList &inputs)
{
    SourcesLoad load = loadAllSources(inputs, IconSizes::icns().front());
    if (load.failure)
        return {QByteArray(), std::move(load.failure), false, {}};
    Made made = icnsOf(load.sources, inputs, options.keyBlack);
    if (made.failure)
        return {QByteArray(), RunFailure{RunFailure::Step::MakeIcon, Operand::input(inputs.first()), std::nullopt,
                                         std::move(*made.failure)},
                true, {}};
    if (made.enlarged)
        addNote(load.notes, std::move(*made.enlarged));
    return {made.bytes, std::nullopt, false, std::move(load.notes)};
}

QStringList appIconPlatforms()
{
    QStringList names;
    for (const AppPlatform &platform : appPlatforms())
        names << QLatin1String(platform.name);
    return names;
}

SetFiles writeAppIcons(const SetRequest &request)
{
    SetFiles files;
    const std::vector<AppPlatform> platforms = chosenPlatforms(request.platforms);
    // Each picture is read once, as each set alone reads it; every file is
    // made from those.
    SourcesLoad load = loadAllSources(request.inputs, setReadingSide);
    files.notes = std::move(load.notes);
    if ((files.failure = std::move(load.failure)))
        return files;
    const SetWriter set({request.folder, {}}, picturesOf(request));
    for (const AppPlatform &platform : platforms)
        if (!addPlatform(files, platform.write({load.sources, request, set.within(QLatin1String(platform.name))})))
            break;
    return files;
}
