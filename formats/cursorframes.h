#pragma once

#include "picture.h"

#include <QByteArray>
#include <QStringList>

#include <optional>
#include <vector>

// An animated cursor's (.ani) or Linux cursor's (Xcursor file's) frames as
// a value, and the failures their formats' files share: each frame is the
// pictures of every size it holds, each with its hot spot, and the steps
// show the frames in turn, each for its time. The formats' files
// (aniformat.cpp, xcursorformat.cpp) make it; cursoranimation.h reads a
// file with the one its first bytes name, so calls go from there to them
// and from them to here, never back.

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

// The format files' own parts (aniformat.cpp, xcursorformat.cpp): the
// frames of the file's bytes. A damaged file, more frames than an animation
// may hold, or more pixels than `pixelLimit` (counted from the headers,
// before any frame is decoded) are a failure.
CursorAnimation readAniFrames(const QByteArray &file, CursorFrames which, qint64 pixelLimit);
CursorAnimation readXcursorFrames(const QByteArray &file, CursorFrames which, qint64 pixelLimit);

// A damaged cursor file, in the words of its damage; one whose frames hold
// more pixels than `pixelLimit`.
Failure damagedCursor(const QStringList &damage);
Failure cursorTooLarge(qint64 pixelLimit);
