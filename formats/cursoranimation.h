#pragma once

#include "picture.h"

#include <QByteArray>
#include <QIODevice>

#include <optional>
#include <vector>

// Animated cursors (.ani) and Linux cursors (Xcursor files) read as
// pictures: each frame is the pictures of every size it holds, each with
// its hot spot, and the steps show the frames in turn, each for its time.

// A cursor file is read whole into memory: at most this many bytes.
constexpr qint64 maximumCursorFileBytes = 64 * 1024 * 1024;
// The pixels of all the frames decoded, together: at most this many.
constexpr qint64 maximumCursorPixels = 8 * 1024 * 1024;

struct CursorStep
{
    size_t frame = 0;
    int milliseconds = 0;
};

struct CursorAnimation
{
    // The frames decoded: all of them, or only the first step's (the
    // others are then empty).
    std::vector<std::vector<Picture>> frames;
    std::vector<CursorStep> steps;
    std::optional<Failure> failure;
};

enum class CursorFrames { FirstStep, All };

// Whether `head`, a file's first bytes, opens an animated cursor or an
// Xcursor file.
bool isCursorAnimation(const QByteArray &head);

// The frames of the animated cursor or Xcursor file in the device, read
// from where it stands; nothing when it is neither. A damaged file, more
// frames than an animation may hold, or more pixels than `pixelLimit`
// (counted from the headers, before any frame is decoded) are a failure.
std::optional<CursorAnimation> readCursorAnimation(QIODevice &device, CursorFrames which,
                                                   qint64 pixelLimit = maximumCursorPixels);

// Of one frame's pictures, the one that draws a square of `side` best: the
// smallest that is at least that large, or else the largest.
const Picture &pictureForSide(const std::vector<Picture> &frame, int side);

// The format files' own parts (aniformat.cpp, xcursorformat.cpp): the
// frames of the file's bytes, as above.
CursorAnimation readAniFrames(const QByteArray &file, CursorFrames which, qint64 pixelLimit);
CursorAnimation readXcursorFrames(const QByteArray &file, CursorFrames which, qint64 pixelLimit);

// A damaged cursor file, in the words of its damage; one whose frames hold
// more pixels than `pixelLimit`.
Failure damagedCursor(const QStringList &damage);
Failure cursorTooLarge(qint64 pixelLimit);
