// Animated cursors: the frames of an animated GIF or WebP, of an animated
// cursor or Xcursor, or of several pictures, each made into a cursor of
// every size, then written as an .ani or as an animated Xcursor.

#include "animatedcursor.h"

#include "anicursor.h"
#include "animation.h"
#include "cursoranimation.h"
#include "cursorconfig.h"
#include "iconset.h"
#include "iconsizes.h"
#include "openinput.h"

#include <QHash>

#include <map>

namespace {

// The frames of an animated cursor are held until it is written: at most
// this many bytes of them.
constexpr qint64 maximumAnimationBytes = 32 << 20;

// The frames made so far: an .ani's cursor files, each stored once however
// many steps show it, and its steps; or an Xcursor's frames, each its
// images.
struct MadeFrames
{
    std::vector<QByteArray> cursors;
    QHash<QByteArray, quint32> cursorNumbers; // by the cursor's bytes: frames alike are stored once
    std::map<size_t, quint32> cursorOfStoredFrame; // by the frame of the file read
    std::vector<AniStep> steps;
    std::vector<std::vector<XcursorImage>> xcursorFrames;
    qint64 heldBytes = 0;
};

// The number of the cursor file `cursor` among those made, stored now when
// it is new. Each cursor made is looked up once; a step that shows a stored
// frame again refers to it by number.
quint32 cursorNumber(const QByteArray &cursor, MadeFrames &made)
{
    auto known = made.cursorNumbers.constFind(cursor);
    if (known == made.cursorNumbers.constEnd()) {
        known = made.cursorNumbers.insert(cursor, quint32(made.cursors.size()));
        made.cursors.push_back(cursor);
        made.heldBytes += cursor.size();
    }
    return *known;
}

Failure framesTooLarge()
{
    return Failure{Failure::Kind::TooLarge, QStringLiteral("its frames would take more than %1 MB as cursors; give "
                                                           "fewer frames or smaller --sizes")
                                                .arg(maximumAnimationBytes >> 20)};
}

qint64 bytesOf(const std::vector<XcursorImage> &images)
{
    qint64 bytes = 0;
    for (const XcursorImage &image : images)
        bytes += 36 + qint64(image.pixels.size()) * 4;
    return bytes;
}

// One step of the animation: the cursor of `pictures` (a picture, or the
// images of a cursor's frame), shown for `milliseconds`; `stored`, the
// frame of the file it shows, when a file may show one again. Or why it
// cannot be: the hot spot asked for is not within it, or the frames take
// too much.
std::optional<Failure> makeFrame(const ConversionOptions &options, const std::vector<Picture> &pictures, int milliseconds,
                                 std::optional<size_t> stored, MadeFrames &made)
{
    const auto known = stored ? made.cursorOfStoredFrame.find(*stored) : made.cursorOfStoredFrame.end();
    if (!isXcursor(options.kind) && known != made.cursorOfStoredFrame.end()) {
        made.steps.push_back({known->second, jiffiesOf(milliseconds)});
        return std::nullopt;
    }
    if (std::optional<Failure> outside = hotSpotRefusal(options, pictures))
        return outside;
    // A frame whose pictures cannot make the sizes (two of one size) is
    // refused as a still cursor of them is; each frame has every size.
    IconSizePlan sizes = planIconSizes(pictures, options.sizes, true);
    if (sizes.failure)
        return sizes.failure;
    const std::vector<SizeSource> &plan = sizes.sources;
    const std::vector<QPoint> hotSpots = cursorHotSpots(pictures, plan, options.hotSpot);
    if (isXcursor(options.kind)) {
        made.xcursorFrames.push_back(xcursorImagesOf(pictures, plan, options.keyBlack, hotSpots, quint32(milliseconds)));
        made.heldBytes += bytesOf(made.xcursorFrames.back());
    } else {
        const quint32 number = cursorNumber(cursorFromIcon(encodeIconSizes(pictures, plan, options.keyBlack), hotSpots), made);
        made.steps.push_back({number, jiffiesOf(milliseconds)});
        if (stored)
            made.cursorOfStoredFrame.emplace(*stored, number);
    }
    return made.heldBytes > maximumAnimationBytes ? std::optional<Failure>(framesTooLarge()) : std::nullopt;
}

// How long step `index` shows: --delay's time for it (its one time, or
// its own, the last given past the end), or else `own`.
int delayOf(const ConversionOptions &options, size_t index, int own)
{
    if (options.delays.empty())
        return own;
    return options.delays.size() == 1 ? options.delays.front() : options.delays[std::min(index, options.delays.size() - 1)];
}

// Why --delay's times do not fit the steps of an animation.
std::optional<Failure> delaysMismatch(const ConversionOptions &options, size_t steps, const QString &what)
{
    if (options.delays.size() <= 1 || options.delays.size() == steps)
        return std::nullopt;
    return Failure{Failure::Kind::Unusable, QStringLiteral("--delay gives %1 times for %2 %3.").arg(options.delays.size()).arg(steps).arg(what)};
}

// The frames of one animated GIF or WebP, each as a browser shows it.
std::optional<RunFailure> addAnimationFrames(const ConversionOptions &options, OpenInput &input, MadeFrames &made)
{
    AnimationReader frames(input.device());
    if (!frames.failure())
        if (std::optional<Failure> mismatch = delaysMismatch(options, size_t(frames.frameCount()), QStringLiteral("its frames")))
            return input.cannotOpen(*mismatch);
    for (size_t step = 0; std::optional<AnimationFrame> frame = frames.next(); ++step)
        if (std::optional<Failure> failure =
                makeFrame(options, {frame->picture}, delayOf(options, step, frame->milliseconds), std::nullopt, made))
            return input.cannotMake(std::move(*failure));
    if (frames.failure())
        return input.cannotOpen(*frames.failure());
    return std::nullopt;
}

// The steps of an animated cursor or an Xcursor, each frame with all of
// its images.
std::optional<RunFailure> addCursorSteps(const ConversionOptions &options, OpenInput &input, const CursorAnimation &animation,
                                         MadeFrames &made)
{
    if (animation.failure)
        return input.cannotOpen(*animation.failure);
    if (std::optional<Failure> mismatch = delaysMismatch(options, animation.steps.size(), QStringLiteral("its steps")))
        return input.cannotOpen(*mismatch);
    for (size_t step = 0; step < animation.steps.size(); ++step) {
        const CursorStep &shown = animation.steps[step];
        if (std::optional<Failure> failure = makeFrame(options, animation.frames[shown.frame],
                                                       delayOf(options, step, shown.milliseconds), shown.frame, made))
            return input.cannotMake(std::move(*failure));
    }
    return std::nullopt;
}

// Whether the file is an animated GIF or WebP, told from its first bytes.
bool isAnimationFile(QIODevice &device)
{
    const QByteArray head = device.peek(16);
    return head.startsWith("GIF8") || (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP");
}

// The frames of one input that is an animation.
std::optional<RunFailure> addInputFrames(const ConversionOptions &options, OpenInput &input, MadeFrames &made)
{
    if (isCursorConfig(input.device())) {
        CursorConfigLoad config = readCursorConfig(input, CursorFrames::All, options.sizes.front());
        if (config.failure)
            return config.failure;
        return addCursorSteps(options, input, config.animation, made);
    }
    if (std::optional<CursorAnimation> animation = readCursorAnimation(input.device(), CursorFrames::All))
        return addCursorSteps(options, input, *animation, made);
    return addAnimationFrames(options, input, made);
}

// The Xcursor of the frames made: the images of each size, each size's
// frames in order, as Xcursor takes an animation.
QByteArray encodeXcursorFrames(const std::vector<std::vector<XcursorImage>> &frames)
{
    std::vector<XcursorImage> images;
    for (size_t size = 0; !frames.empty() && size < frames.front().size(); ++size)
        for (const std::vector<XcursorImage> &frame : frames)
            images.push_back(frame[size]);
    return encodeXcursor(images);
}

Converted written(const ConversionOptions &options, const MadeFrames &made, std::vector<RunNote> notes)
{
    const QByteArray bytes = isXcursor(options.kind) ? encodeXcursorFrames(made.xcursorFrames)
                                             : encodeAniCursor(made.cursors, made.steps, options.title, options.author);
    return {bytes, std::nullopt, false, std::move(notes)};
}

Converted failed(RunFailure failure, bool badCombination = false)
{
    return {QByteArray(), std::move(failure), badCombination, {}};
}

} // namespace

int animationSteps(OpenInput &input)
{
    if (input.failure)
        return 1;
    QIODevice &device = input.device();
    const qint64 start = device.pos();
    int steps = 1;
    if (isCursorConfig(device)) {
        const CursorConfigPlan config = planCursorConfig(device, input.operand.name());
        steps = config.failure ? 1 : int(config.steps.size());
    } else if (std::optional<CursorAnimation> animation = readCursorAnimation(device, CursorFrames::FirstStep))
        steps = animation->failure ? 1 : int(animation->steps.size());
    else if (isAnimationFile(device))
        steps = AnimationReader(device).frameCount();
    device.seek(start);
    return steps;
}

Converted animateInput(const ConversionOptions &options, OpenInput &input)
{
    MadeFrames made;
    if (std::optional<RunFailure> failure = addInputFrames(options, input, made))
        return failed(std::move(*failure));
    return written(options, made, {});
}

Converted animateCursor(const ConversionOptions &options, const QStringList &inputs)
{
    // One still picture is one frame, as each of several is.
    const QString frames = inputs.size() == 1 ? QStringLiteral("picture, one frame") : QStringLiteral("pictures");
    const auto mismatch = [&] { return delaysMismatch(options, size_t(inputs.size()), frames); };
    if (inputs.size() > 1 && mismatch())
        return failed(RunFailure{RunFailure::Step::MakeIcon, Operand::input(inputs.first()), std::nullopt, *mismatch()}, true);
    MadeFrames made;
    std::vector<RunNote> notes;
    for (const QString &name : inputs) {
        OpenInput input(Operand::input(name));
        if (input.failure)
            return failed(input.cannotOpen(*input.failure));
        if (inputs.size() == 1 && (isAnimationFile(input.device()) || isCursorAnimation(input.device().peek(12))
                                   || isCursorConfig(input.device())))
            return animateInput(options, input);
        if (mismatch())
            return failed(input.cannotMake(std::move(*mismatch())), true);
        PictureLoad load = loadInput(input, QSize(options.sizes.front(), options.sizes.front()), DrawDetail::Light);
        if (load.failure)
            return failed(input.cannotOpen(*load.failure));
        for (RunNote &note : partlyDrawn(input, load))
            notes.push_back(std::move(note));
        const int milliseconds = delayOf(options, made.steps.size() + made.xcursorFrames.size(), shownForShortFrames);
        if (std::optional<Failure> failure = makeFrame(options, {load.picture}, milliseconds, std::nullopt, made))
            return failed(input.cannotMake(std::move(*failure)));
    }
    return written(options, made, std::move(notes));
}
