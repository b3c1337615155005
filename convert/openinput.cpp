#include "openinput.h"

#include "cursoranimation.h"
#include "cursorconfig.h"
#include "fileaccess.h"
#include "icnsformat.h"
#include "iconimages.h"
#include "readpicture.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <map>
#include <cmath>
#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace {

// Standard input is read whole, up to this size, to be read as a file is
// (the checks look back at the header); a bigger picture is given as a file.
constexpr qint64 standardInputBytes = 256 * 1024 * 1024;

// Up to `limit` bytes of standard input, read until it ends: a pipe gives
// its data a piece at a time.
QByteArray readStandardInput(qint64 limit)
{
#ifdef Q_OS_WIN
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    QByteArray bytes;
    char piece[64 * 1024];
    while (bytes.size() < limit) {
        const size_t read = std::fread(piece, 1, size_t(std::min<qint64>(sizeof piece, limit - bytes.size())), stdin);
        bytes.append(piece, qsizetype(read));
        if (read == 0)
            break;
    }
    return bytes;
}

} // namespace

OpenInput::OpenInput(const Operand &input)
    : operand(input)
{
    if (!input.isStandard()) {
        failure = openRegularFile(input.name(), file);
        return;
    }
    bytes = readStandardInput(standardInputBytes + 1);
    if (bytes.size() > standardInputBytes)
        failure = Failure{Failure::Kind::TooLarge, QStringLiteral("it holds more than %1 MB; give the picture as a file")
                                                       .arg(standardInputBytes >> 20)};
    buffer.open(QIODevice::ReadOnly);
}

PictureLoad loadInput(OpenInput &input, QSize drawSize, DrawDetail detail)
{
    if (input.failure)
        return {Picture(), input.failure};
    if (isCursorConfig(input.device()))
        return {Picture(), Failure{Failure::Kind::Unusable,
                                   QStringLiteral("it is a cursor configuration, which makes Linux cursors, cursors, "
                                                  "animated cursors and icons of several sizes (--xcursor, "
                                                  "--cursor-theme, --cursor, --ani, --sizes), not one 32 x 32 icon or "
                                                  "bitmap")}};
    return readPicture(input.device(), drawSize, detail);
}

// What of a drawing could not be drawn, when something could not be.
std::vector<RunNote> partlyDrawn(const OpenInput &input, const PictureLoad &load)
{
    if (load.note.isEmpty())
        return {};
    return {RunNote{RunNote::Kind::PartlyDrawn, input.operand, load.note, {}, {}}};
}

std::optional<Failure> hotSpotRefusal(const ConversionOptions &options, const std::vector<Picture> &pictures)
{
    if (!isCursor(options.kind))
        return std::nullopt;
    for (const Picture &picture : options.hotSpot ? std::vector<Picture>() : pictures) {
        const std::optional<QPointF> own = picture.hotSpot();
        if (own && !(std::isfinite(own->x()) && std::isfinite(own->y())))
            return Failure{Failure::Kind::Unusable, QStringLiteral("its hot spot marker (the element of id \"hotspot\") lies "
                                                                   "farther than a drawing can be measured; give --hotspot")};
    }
    if (!options.hotSpot)
        return std::nullopt;
    const QSize size = pictures.front().size();
    if (options.hotSpot->x() < size.width() && options.hotSpot->y() < size.height())
        return std::nullopt;
    return Failure{Failure::Kind::Unusable, QStringLiteral("the hot spot %1,%2 is not within the picture, which is %3 x %4 pixels")
                                                .arg(options.hotSpot->x())
                                                .arg(options.hotSpot->y())
                                                .arg(size.width())
                                                .arg(size.height())};
}


bool isIconsetFolder(const QString &name)
{
    QString folder = name;
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return name != QLatin1String("-") && folder.endsWith(QLatin1String(".iconset"), Qt::CaseInsensitive) && QFileInfo(folder).isDir();
}

QStringList iconsetMembers(const QString &folder)
{
    QStringList members;
    for (int points : {16, 32, 128, 256, 512})
        for (const QString &scale : {QString(), QStringLiteral("@2x")}) {
            const QString path = QDir(folder).filePath(QStringLiteral("icon_%1x%1%2.png").arg(points).arg(scale));
            if (QFileInfo(path).isSymLink() || QFileInfo::exists(path))
                members << path;
        }
    return members;
}

namespace {

// The PNGs of an .iconset folder, as iconutil names them, smallest first;
// of two the same size (icon_16x16@2x.png and icon_32x32.png are both 32
// pixels), the first is kept. Each is read as a file given alone is (a
// link that leads nowhere is refused as one would be).
std::optional<RunFailure> loadIconset(const Operand &folder, int largest, std::vector<Picture> &sources,
                                      std::vector<RunNote> &notes)
{
    std::vector<Picture> found;
    for (const QString &path : iconsetMembers(folder.name())) {
        OpenInput input(Operand::input(path));
        PictureLoad load = loadInput(input, QSize(largest, largest), DrawDetail::Light);
        if (load.failure)
            return input.cannotOpen(*load.failure);
        for (RunNote &note : partlyDrawn(input, load))
            notes.push_back(std::move(note));
        const auto sameSize = [&load](const Picture &other) { return other.size() == load.picture.size(); };
        if (std::none_of(found.begin(), found.end(), sameSize))
            found.push_back(std::move(load.picture));
    }
    if (found.empty())
        return RunFailure{RunFailure::Step::Open, folder, std::nullopt,
                          Failure{Failure::Kind::Unusable, QStringLiteral("the .iconset folder holds no icon_16x16.png ... "
                                                                          "icon_512x512@2x.png")}};
    sources.insert(sources.end(), found.begin(), found.end());
    return std::nullopt;
}

// The picture a line of a cursor configuration names, read as a file given
// alone is; or why it cannot be. The file is checked again as it is open,
// so that a link changed since the configuration was read cannot lead
// elsewhere.
std::optional<RunFailure> readConfigFile(const CursorConfigPicture &line, const QString &folder, int largest,
                                         Picture &picture, std::vector<RunNote> &notes)
{
    OpenInput input(Operand::input(line.path));
    if (line.refusal)
        return input.cannotOpen(*line.refusal);
    if (!input.failure && !isWithin(folder, openedFileLocation(input.file)))
        return input.cannotOpen(leadsOut());
    PictureLoad read = loadInput(input, QSize(largest, largest), DrawDetail::Light);
    if (read.failure)
        return input.cannotOpen(*read.failure);
    for (RunNote &note : partlyDrawn(input, read))
        notes.push_back(std::move(note));
    picture = std::move(read.picture);
    return std::nullopt;
}

// Why a line's hot spot cannot be its picture's.
std::optional<RunFailure> hotSpotOutside(const CursorConfigPicture &line, const Picture &picture)
{
    const QSize size = picture.size();
    const QPoint spot = line.line.hotSpot;
    if (spot.x() < size.width() && spot.y() < size.height())
        return std::nullopt;
    return RunFailure{RunFailure::Step::MakeIcon, Operand::input(line.path), std::nullopt,
                      Failure{Failure::Kind::Unusable,
                              QStringLiteral("line %1 of the cursor configuration points at %2,%3, which is not within "
                                             "the picture, %4 x %5 pixels")
                                  .arg(line.line.number).arg(spot.x()).arg(spot.y()).arg(size.width()).arg(size.height())}};
}

Failure configTooLarge()
{
    return Failure{Failure::Kind::TooLarge,
                   QStringLiteral("its pictures hold more than %1 million pixels together").arg(maximumCursorPixels >> 20)};
}

// Each frame's pictures of a configuration, those of the frames `which`
// asks for, each pointing where its line says. A file named by several
// lines is read once; the files read hold no more pixels together than a
// cursor file's frames may.
std::optional<RunFailure> readConfigFrames(const Operand &config, const CursorConfigPlan &plan, CursorFrames which,
                                           int largest, CursorConfigLoad &load)
{
    load.animation.frames.assign(plan.frames.size(), {});
    std::map<QString, Picture> read;
    qint64 pixels = 0;
    for (size_t frame = 0; frame < (which == CursorFrames::All ? plan.frames.size() : 1); ++frame)
        for (const CursorConfigPicture &line : plan.frames[frame]) {
            auto known = read.find(line.path);
            if (known == read.end()) {
                Picture picture;
                if (std::optional<RunFailure> failure = readConfigFile(line, plan.folder, largest, picture, load.notes))
                    return failure;
                pixels += qint64(picture.image().width()) * picture.image().height();
                if (pixels > maximumCursorPixels)
                    return RunFailure{RunFailure::Step::Open, config, std::nullopt, configTooLarge()};
                known = read.emplace(line.path, std::move(picture)).first;
            }
            if (std::optional<RunFailure> outside = hotSpotOutside(line, known->second))
                return outside;
            load.animation.frames[frame].push_back(known->second);
            load.animation.frames[frame].back().setHotSpot(QPointF(line.line.hotSpot));
        }
    return std::nullopt;
}

} // namespace

CursorConfigLoad readCursorConfig(OpenInput &input, CursorFrames which, int largest)
{
    CursorConfigLoad load;
    if (input.operand.isStandard()) {
        load.failure = input.cannotOpen(Failure{Failure::Kind::Unusable,
                                                QStringLiteral("a cursor configuration finds its pictures in its folder, "
                                                               "which standard input has not; give it as a file")});
        return load;
    }
    const CursorConfigPlan plan = planCursorConfig(input.device(), input.operand.name());
    if (plan.failure) {
        load.failure = input.cannotOpen(*plan.failure);
        return load;
    }
    load.animation.steps = plan.steps;
    load.failure = readConfigFrames(input.operand, plan, which, largest, load);
    return load;
}

namespace {

// A cursor configuration's pictures of its first frame.
std::optional<RunFailure> loadConfigSources(OpenInput &input, int largest, std::vector<Picture> &sources,
                                            std::vector<RunNote> &notes)
{
    CursorConfigLoad config = readCursorConfig(input, CursorFrames::FirstStep, largest);
    notes.insert(notes.end(), config.notes.begin(), config.notes.end());
    if (config.failure)
        return config.failure;
    const std::vector<Picture> &first = config.animation.frames.front();
    sources.insert(sources.end(), first.begin(), first.end());
    return std::nullopt;
}

} // namespace

QStringList filesOfInput(const QString &input)
{
    if (input == QLatin1String("-"))
        return {input};
    if (isIconsetFolder(input))
        return iconsetMembers(input);
    return QStringList{input} + cursorConfigPictures(input);
}

std::optional<RunFailure> loadSources(OpenInput &input, int largest, std::vector<Picture> &sources,
                                      std::vector<RunNote> &notes)
{
    if (isIconsetFolder(input.operand.name()))
        return loadIconset(input.operand, largest, sources, notes);
    if (input.failure)
        return input.cannotOpen(*input.failure);
    if (isCursorConfig(input.device()))
        return loadConfigSources(input, largest, sources, notes);
    if (std::optional<CursorAnimation> animation = readCursorAnimation(input.device(), CursorFrames::FirstStep)) {
        if (animation->failure)
            return input.cannotOpen(*animation->failure);
        const std::vector<Picture> &first = animation->frames[animation->steps.front().frame];
        sources.insert(sources.end(), first.begin(), first.end());
        return std::nullopt;
    }
    if (std::optional<IcnsPictures> family = readIcnsPictures(input.device())) {
        if (family->failure)
            return input.cannotOpen(*family->failure);
        sources.insert(sources.end(), family->pictures.begin(), family->pictures.end());
        return std::nullopt;
    }
    const IconImagesLoad icon = readIconImages(input.device(), IconImageChoice::OneEachSize);
    if (icon.failure)
        return input.cannotOpen(*icon.failure);
    for (size_t i = 0; i < icon.images.size(); ++i) {
        sources.push_back(Picture(icon.images[i]));
        if (i < icon.hotSpots.size())
            sources.back().setHotSpot(icon.hotSpots[i]);
    }
    if (!icon.images.empty())
        return std::nullopt;
    PictureLoad load = loadInput(input, QSize(largest, largest), DrawDetail::Light);
    if (load.failure)
        return input.cannotOpen(*load.failure);
    for (RunNote &note : partlyDrawn(input, load))
        notes.push_back(std::move(note));
    sources.push_back(std::move(load.picture));
    return std::nullopt;
}

const Picture *firstDrawing(const std::vector<Picture> &pictures)
{
    for (const Picture &picture : pictures)
        if (picture.isDrawing())
            return &picture;
    return nullptr;
}

SourcesLoad loadAllSources(const QStringList &inputs, int largest)
{
    SourcesLoad load;
    for (const QString &name : inputs) {
        OpenInput input(Operand::input(name));
        if ((load.failure = loadSources(input, largest, load.sources, load.notes)))
            break;
    }
    return load;
}
