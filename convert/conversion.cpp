#include "conversion.h"

#include "anicursor.h"
#include "animation.h"
#include "fileaccess.h"
#include "formats.h"
#include "iconimages.h"
#include "iconset.h"
#include "iconsizes.h"
#include "picture.h"
#include "readpicture.h"

#include <QBuffer>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif
#include <QFile>

namespace {

// The window's square has the background of the classic colour scheme's
// windows in its bands: white. A picture with a transparency of its own
// keeps it in icons, with transparent bands; a bitmap, which holds none, is
// drawn over white.
constexpr QRgb bandColour = qRgb(255, 255, 255);
constexpr QRgb clearBands = qRgba(0, 0, 0, 0);

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

// One input, open for reading: the file, or what standard input ("-")
// holds; or why it cannot be read.
struct OpenInput
{
    QFile file;
    QByteArray bytes;
    QBuffer buffer{&bytes};
    Operand operand;
    std::optional<Failure> failure;

    explicit OpenInput(const Operand &input)
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
    QIODevice &device() { return file.isOpen() ? static_cast<QIODevice &>(file) : buffer; }
    RunFailure cannotOpen(const Failure &why) const { return {RunFailure::Step::Open, operand, std::nullopt, why}; }
};

PictureLoad loadInput(OpenInput &input, QSize drawSize, DrawDetail detail)
{
    if (input.failure)
        return {Picture(), input.failure};
    return readPicture(input.device(), drawSize, detail);
}

// What of a drawing could not be drawn, when something could not be.
std::vector<PartlyDrawn> partlyDrawn(const OpenInput &input, const PictureLoad &load)
{
    if (load.note.isEmpty())
        return {};
    return {PartlyDrawn{input.operand, load.note}};
}

// The pictures one input gives an icon of several sizes, read with detail
// enough for the largest: an icon's or a cursor's every image, each read
// once, any other file's one picture; or why it cannot be read. What of a
// drawing could not be drawn is added to `notes`.
std::optional<RunFailure> loadSources(const Operand &picture, int largest, std::vector<Picture> &sources,
                                      std::vector<PartlyDrawn> &notes)
{
    OpenInput input(picture);
    if (input.failure)
        return input.cannotOpen(*input.failure);
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
    for (PartlyDrawn &note : partlyDrawn(input, load))
        notes.push_back(std::move(note));
    sources.push_back(std::move(load.picture));
    return std::nullopt;
}

// Why a cursor's hot spot cannot be where it was asked: outside the
// picture it is given in.
std::optional<Failure> hotSpotOutside(const ConversionOptions &options, const Picture &picture)
{
    if (!options.cursor || !options.hotSpot)
        return std::nullopt;
    const QSize size = picture.size();
    if (options.hotSpot->x() < size.width() && options.hotSpot->y() < size.height())
        return std::nullopt;
    return Failure{Failure::Kind::Unusable, QStringLiteral("the hot spot %1,%2 is not within the picture, which is %3 x %4 pixels")
                                                .arg(options.hotSpot->x())
                                                .arg(options.hotSpot->y())
                                                .arg(size.width())
                                                .arg(size.height())};
}

} // namespace

bool endsAsAPicture(const QString &name)
{
    static const QStringList endings = pictureEndings();
    return endings.contains(QFileInfo(name).suffix().toLower());
}

QString resultExtension(const ConversionOptions &options)
{
    if (options.output == SquareOutput::Bitmap)
        return QStringLiteral(".bmp");
    if (options.xcursor)
        return QString();
    if (options.animated)
        return QStringLiteral(".ani");
    return options.cursor ? QStringLiteral(".cur") : QStringLiteral(".ico");
}

Converted convertPicture(const ConversionOptions &options, const Operand &input)
{
    if (options.animated)
        return animateCursor(options, {input.name()});
    if (!options.sizes.empty())
        return packPictures(options, {input.name()});
    OpenInput opened(input);
    const PictureLoad load = loadInput(opened, QSize(Square::side, Square::side), DrawDetail::Fine);
    if (load.failure)
        return {QByteArray(), opened.cannotOpen(*load.failure), false, {}};
    if (std::optional<Failure> outside = hotSpotOutside(options, load.picture))
        return {QByteArray(), RunFailure{RunFailure::Step::MakeIcon, input, std::nullopt, std::move(*outside)}, false, {}};
    const bool keepTransparency = options.output != SquareOutput::Bitmap && hasTransparency(load.picture);
    const QImage square = fitIntoSquare(load.picture, keepTransparency ? clearBands : bandColour);
    QByteArray bytes = encodeSquare(square, options.output);
    if (options.cursor) {
        const QPointF spot = options.hotSpot ? *options.hotSpot : load.picture.hotSpot().value_or(QPointF(0, 0));
        bytes = cursorFromIcon(bytes, {pointInSquare(load.picture.size(), spot, Square::side, SquareBands::Window)});
    }
    return {bytes, std::nullopt, false, partlyDrawn(opened, load)};
}

Converted packPictures(const ConversionOptions &options, const QStringList &inputs)
{
    if (options.animated)
        return animateCursor(options, inputs);
    // Each read once, with detail enough for the largest size; every size is
    // made from those.
    std::vector<Picture> sources;
    std::vector<PartlyDrawn> notes;
    for (const QString &input : inputs)
        if (std::optional<RunFailure> failure = loadSources(Operand::input(input), options.sizes.front(), sources, notes))
            return {QByteArray(), std::move(failure), false, {}};
    // One file's pictures may be enlarged where they must: they are all
    // there is. Of several files given for one icon, one is missing.
    const Operand first = Operand::input(inputs.first());
    IconSizePlan plan = planIconSizes(sources, options.sizes, inputs.size() == 1);
    if (plan.failure) {
        return {QByteArray(), RunFailure{RunFailure::Step::MakeIcon, first, std::nullopt, std::move(*plan.failure)}, true, {}};
    }
    if (std::optional<Failure> outside = hotSpotOutside(options, sources.front()))
        return {QByteArray(), RunFailure{RunFailure::Step::MakeIcon, first, std::nullopt, std::move(*outside)}, false, {}};
    if (options.xcursor) {
        const std::vector<QPoint> hotSpots = cursorHotSpots(sources, plan.sources, options.hotSpot);
        return {encodeXcursorSizes(sources, plan.sources, options.keyBlack, hotSpots), std::nullopt, false, notes};
    }
    QByteArray bytes = encodeIconSizes(sources, plan.sources, options.keyBlack);
    if (options.cursor)
        bytes = cursorFromIcon(bytes, cursorHotSpots(sources, plan.sources, options.hotSpot));
    return {bytes, std::nullopt, false, notes};
}

namespace {

// The frames of an animated cursor are held until it is written: at most
// this many bytes of them.
constexpr qint64 maximumAnimationBytes = 64 << 20;

// One frame of an animated cursor: the cursor of its picture, shown for
// `milliseconds`; or why it cannot be: the hot spot asked for is not within
// it, or the frames take too much.
std::optional<Failure> addFrame(const ConversionOptions &options, const Picture &picture, int milliseconds,
                                std::vector<AniStep> &steps, qint64 &heldBytes)
{
    if (std::optional<Failure> outside = hotSpotOutside(options, picture))
        return outside;
    const std::vector<SizeSource> plan = planIconSizes({picture}, options.sizes, true).sources;
    const QByteArray icon = encodeIconSizes({picture}, plan, options.keyBlack);
    heldBytes += icon.size();
    if (heldBytes > maximumAnimationBytes)
        return Failure{Failure::Kind::TooLarge, QStringLiteral("its frames would take more than %1 MB as cursors; give "
                                                               "fewer frames or smaller --sizes")
                                                    .arg(maximumAnimationBytes >> 20)};
    steps.push_back({cursorFromIcon(icon, cursorHotSpots({picture}, plan, options.hotSpot)), jiffiesOf(milliseconds)});
    return std::nullopt;
}

// How long frame `index` shows: --delay's time for it (its one time, or
// its own, the last given past the end), or else `own`.
int delayOf(const ConversionOptions &options, size_t index, int own)
{
    if (options.delays.empty())
        return own;
    return options.delays.size() == 1 ? options.delays.front() : options.delays[std::min(index, options.delays.size() - 1)];
}

// The frames of one animated GIF or WebP, each as a browser shows it.
std::optional<RunFailure> addAnimationFrames(const ConversionOptions &options, OpenInput &input, std::vector<AniStep> &steps,
                                             qint64 &heldBytes)
{
    AnimationReader frames(input.device());
    if (!frames.failure() && !options.delays.empty() && options.delays.size() != 1
        && int(options.delays.size()) != frames.frameCount())
        return input.cannotOpen(Failure{Failure::Kind::Unusable, QStringLiteral("--delay gives %1 times for its %2 frames")
                                                                     .arg(options.delays.size())
                                                                     .arg(frames.frameCount())});
    while (std::optional<AnimationFrame> frame = frames.next())
        if (std::optional<Failure> failure =
                addFrame(options, frame->picture, delayOf(options, steps.size(), frame->milliseconds), steps, heldBytes))
            return RunFailure{RunFailure::Step::MakeIcon, input.operand, std::nullopt, std::move(*failure)};
    if (frames.failure())
        return input.cannotOpen(*frames.failure());
    return std::nullopt;
}

// Whether the file is an animated GIF or WebP, told from its first bytes.
bool isAnimationFile(QIODevice &device)
{
    const QByteArray head = device.peek(16);
    return head.startsWith("GIF8") || (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP");
}

} // namespace

Converted animateCursor(const ConversionOptions &options, const QStringList &inputs)
{
    std::vector<AniStep> steps;
    std::vector<PartlyDrawn> notes;
    qint64 heldBytes = 0;
    if (inputs.size() > 1 && options.delays.size() > 1 && options.delays.size() != size_t(inputs.size())) {
        const Failure mismatch{Failure::Kind::Unusable, QStringLiteral("--delay gives %1 times for %2 pictures")
                                                            .arg(options.delays.size())
                                                            .arg(inputs.size())};
        return {QByteArray(), RunFailure{RunFailure::Step::MakeIcon, Operand::input(inputs.first()), std::nullopt, mismatch},
                true, {}};
    }
    for (const QString &name : inputs) {
        OpenInput input(Operand::input(name));
        if (input.failure)
            return {QByteArray(), input.cannotOpen(*input.failure), false, {}};
        if (inputs.size() == 1 && isAnimationFile(input.device())) {
            if (std::optional<RunFailure> failure = addAnimationFrames(options, input, steps, heldBytes))
                return {QByteArray(), std::move(failure), false, {}};
            continue;
        }
        PictureLoad load = loadInput(input, QSize(options.sizes.front(), options.sizes.front()), DrawDetail::Light);
        if (load.failure)
            return {QByteArray(), input.cannotOpen(*load.failure), false, {}};
        for (PartlyDrawn &note : partlyDrawn(input, load))
            notes.push_back(std::move(note));
        if (std::optional<Failure> failure =
                addFrame(options, load.picture, delayOf(options, steps.size(), shownForShortFrames), steps, heldBytes))
            return {QByteArray(), RunFailure{RunFailure::Step::MakeIcon, input.operand, std::nullopt, std::move(*failure)}, false, {}};
    }
    return {encodeAniCursor(steps), std::nullopt, false, notes};
}
