// Animated cursors (.ani): the RIFF structure read by the icon module, each
// frame a cursor file whose images are read as a cursor's are.

#include "animation.h"
#include "anicursor.h"
#include "cursorframes.h"
#include "iconimages.h"
#include "iconlisting.h"

#include <QBuffer>
#include <QHash>

#include <algorithm>
#include <cmath>

namespace {

// A step's time in jiffies, sixtieths of a second, as the one range of
// times holds it: 0xFFFFFFFF jiffies is a minute, not a wrapped number.
int millisecondsOf(quint32 jiffies)
{
    return frameMilliseconds(std::llround(jiffies * 1000.0 / 60.0));
}

// The pixels the images of a frame hold, as their headers say; -1 when the
// frame is no icon or cursor, or is damaged.
qint64 framePixels(const QByteArray &frame)
{
    const IconListing listing = listIcon(frame);
    if (!listing.isIcon || !listing.damage.isEmpty())
        return -1;
    qint64 pixels = 0;
    for (const ListedImage &image : listing.images)
        pixels += image.width * image.height;
    return pixels;
}

// The pictures of one frame, each with its hot spot; or why they cannot be.
std::optional<Failure> readFrame(QByteArray bytes, int number, std::vector<Picture> &pictures)
{
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    const IconImagesLoad load = readIconImages(device, IconImageChoice::OneEachSize);
    if (load.failure || load.images.empty())
        return Failure{Failure::Kind::NotAPicture,
                       QStringLiteral("frame %1 of the cursor %2").arg(number)
                           .arg(load.failure ? QStringLiteral("cannot be read: %1").arg(load.failure->reason)
                                             : QStringLiteral("is no cursor or icon"))};
    for (size_t i = 0; i < load.images.size(); ++i) {
        pictures.emplace_back(load.images[i]);
        if (i < load.hotSpots.size())
            pictures.back().setHotSpot(load.hotSpots[i]);
    }
    return std::nullopt;
}

// Of each frame, the first frame of the same bytes: a file that stores one
// cursor many times is decoded and made into cursors once.
std::vector<size_t> firstOfTheSame(const std::vector<QByteArray> &frames)
{
    QHash<QByteArray, size_t> seen;
    std::vector<size_t> first(frames.size());
    for (size_t frame = 0; frame < frames.size(); ++frame) {
        const auto known = seen.constFind(frames[frame]);
        first[frame] = known != seen.constEnd() ? *known : *seen.insert(frames[frame], frame);
    }
    return first;
}

// The frames asked for, decoded once each (a frame of the same bytes as an
// earlier one shares its pictures), within the pixels allowed. Every frame
// is looked into first: a file with a damaged frame is damaged, whichever
// frames are shown, and one whose frames hold too many pixels is refused
// before any is decoded.
std::optional<Failure> readFrames(const AniCursorContents &ani, const std::vector<size_t> &first, CursorFrames which,
                                  qint64 pixelLimit, CursorAnimation &animation)
{
    const auto wanted = [&](size_t frame) { return which == CursorFrames::All || first[frame] == first[ani.sequence.front()]; };
    qint64 pixels = 0;
    for (size_t frame = 0; frame < ani.frames.size(); ++frame) {
        const qint64 held = framePixels(ani.frames[frame]);
        if (held < 0)
            return damagedCursor({QStringLiteral("frame %1 is no whole cursor or icon").arg(frame + 1)});
        pixels += wanted(frame) ? held : 0;
    }
    if (pixels > pixelLimit)
        return cursorTooLarge(pixelLimit);
    animation.frames.resize(ani.frames.size());
    for (size_t frame = 0; frame < ani.frames.size(); ++frame) {
        if (!wanted(frame))
            continue;
        if (first[frame] != frame)
            animation.frames[frame] = animation.frames[first[frame]];
        else if (std::optional<Failure> failure = readFrame(ani.frames[frame], int(frame) + 1, animation.frames[frame]))
            return failure;
    }
    return std::nullopt;
}

} // namespace

CursorAnimation readAniFrames(const QByteArray &file, CursorFrames which, qint64 pixelLimit)
{
    CursorAnimation animation;
    // The frames and steps an animation may have are kept, and no more.
    const std::optional<AniCursorContents> ani = readAniCursor(file, size_t(std::max(maximumAnimationFrames, maximumAnimationSteps)));
    if (!ani || !ani->damage.isEmpty()) {
        animation.failure = damagedCursor(ani ? ani->damage.lines() : QStringList{QStringLiteral("it is no animated cursor")});
        return animation;
    }
    if (ani->frameCount > maximumAnimationFrames) {
        animation.failure = tooManyFrames(ani->frameCount);
        return animation;
    }
    if (ani->stepCount > maximumAnimationSteps) {
        animation.failure = tooManySteps(ani->stepCount);
        return animation;
    }
    // Each step shows the first frame of its bytes, which is made into a
    // cursor once however many steps show it.
    const std::vector<size_t> first = firstOfTheSame(ani->frames);
    for (size_t step = 0; step < ani->sequence.size(); ++step)
        animation.steps.push_back({first[ani->sequence[step]], millisecondsOf(ani->jiffies[step])});
    animation.failure = readFrames(*ani, first, which, pixelLimit, animation);
    if (animation.failure)
        animation.frames.clear(); // a failure comes alone, without the frames read before it
    return animation;
}
