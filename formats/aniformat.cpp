// Animated cursors (.ani): the RIFF structure read by the icon module, each
// frame a cursor file whose images are read as a cursor's are.

#include "animation.h"
#include "anicursor.h"
#include "cursorframes.h"
#include "iconimages.h"
#include "iconlisting.h"

#include <QBuffer>

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

// The frames asked for, decoded once each, within the pixels allowed. Every
// frame is looked into first: a file with a damaged frame is damaged,
// whichever frames are shown, and one whose frames hold too many pixels is
// refused before any is decoded.
std::optional<Failure> readFrames(const AniCursorContents &ani, CursorFrames which, qint64 pixelLimit,
                                  CursorAnimation &animation)
{
    const auto wanted = [&](size_t frame) { return which == CursorFrames::All || frame == ani.sequence.front(); };
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
    for (size_t frame = 0; frame < ani.frames.size(); ++frame)
        if (wanted(frame))
            if (std::optional<Failure> failure = readFrame(ani.frames[frame], int(frame) + 1, animation.frames[frame]))
                return failure;
    return std::nullopt;
}

} // namespace

CursorAnimation readAniFrames(const QByteArray &file, CursorFrames which, qint64 pixelLimit)
{
    CursorAnimation animation;
    // One frame more than an animation may hold is kept: enough to know
    // that it holds too many.
    const std::optional<AniCursorContents> ani = readAniCursor(file, size_t(maximumAnimationFrames) + 1);
    if (!ani || !ani->damage.isEmpty()) {
        animation.failure = damagedCursor(ani ? ani->damage.lines() : QStringList{QStringLiteral("it is no animated cursor")});
        return animation;
    }
    if (ani->frameCount > maximumAnimationFrames) {
        animation.failure = tooManyFrames(ani->frameCount);
        return animation;
    }
    if (ani->sequence.size() > size_t(maximumAnimationSteps)) {
        animation.failure = tooManySteps(qint64(ani->sequence.size()));
        return animation;
    }
    for (size_t step = 0; step < ani->sequence.size(); ++step)
        animation.steps.push_back({ani->sequence[step], millisecondsOf(ani->jiffies[step])});
    animation.failure = readFrames(*ani, which, pixelLimit, animation);
    if (animation.failure)
        animation.frames.clear(); // a failure comes alone, without the frames read before it
    return animation;
}
