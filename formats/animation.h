#pragma once

#include "picture.h"

#include <QIODevice>

#include <memory>
#include <optional>
#include <vector>

// The frames of an animated picture (an animated GIF or WebP), each whole
// as a browser shows it at that moment (the earlier frames beneath it, as
// their disposal leaves them, and its own transparency), with how long it
// shows. Read a frame at a time, so that only one is held.

// An animation holds at most this many frames, each drawn whole on a screen
// of at most maximumAnimationScreenPixels (64 MB as it is drawn), and all
// together at most maximumPicturePixels (picturelimits.h). A still picture
// of a bigger screen is read reduced (gifreduce.cpp).
constexpr int maximumAnimationFrames = 1000;
constexpr qint64 maximumAnimationScreenPixels = 16'000'000;
// And shows at most this many steps: an animated cursor can show its frames
// again, and a file of 4 MB could show one a million times.
constexpr int maximumAnimationSteps = 1000;
// The words of an animation refused for its number of frames or steps.
Failure tooManyFrames(qint64 frames);
Failure tooManySteps(qint64 steps);

// Browsers show a frame of 10 ms or less (0 among them, which many GIFs
// say) for 100 ms; so does an animated cursor made of it.
constexpr int shortestFrameMilliseconds = 11;
constexpr int shownForShortFrames = 100;
// A frame shows for a minute at most, whichever file or option gives its
// time (--delay, a GIF, an animated cursor, an Xcursor).
constexpr int longestFrameMilliseconds = 60'000;

// A frame's time as a file gives it, in milliseconds, held to 1 ms to a
// minute: 0, which says nothing of the time, is shownForShortFrames, as a
// browser shows a GIF's.
int frameMilliseconds(qint64 milliseconds);

struct AnimationFrame
{
    Picture picture;
    int milliseconds = 0;
};

class QImageReader;

class AnimationReader
{
public:
    // Reads the picture in the device, which is left for the reader to use;
    // `failure` says why it is no animation Tervana reads. A picture of one
    // frame is an animation of one frame.
    explicit AnimationReader(QIODevice &device);
    ~AnimationReader();
    AnimationReader(const AnimationReader &) = delete;
    AnimationReader &operator=(const AnimationReader &) = delete;

    std::optional<Failure> failure() const { return m_failure; }
    int frameCount() const { return m_frames; }
    // The next frame, or nothing at the end or when it cannot be read
    // (failure() then says why).
    std::optional<AnimationFrame> next();

private:
    std::unique_ptr<QImageReader> m_reader;
    // A GIF's delays, read from the file: Qt's reader gives a frame without
    // one the delay of the frame before.
    std::vector<int> m_gifDelays;
    int m_frames = 0;
    int m_read = 0;
    QSize m_canvas;
    std::optional<Failure> m_failure;
};
