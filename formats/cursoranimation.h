#pragma once

#include "cursorframes.h"
#include "picture.h"

#include <QByteArray>
#include <QIODevice>

#include <optional>
#include <vector>

// Animated cursors (.ani) and Linux cursors (Xcursor files) read as
// pictures: the file read whole once and its frames decoded by its
// format's file (cursorframes.h).

// Whether `head`, a file's first bytes, opens an animated cursor or an
// Xcursor file.
bool isCursorAnimation(const QByteArray &head);

// The frames of the animated cursor or Xcursor file in the device, read
// from where it stands; nothing when it is neither. A damaged file, more
// frames than an animation may hold, or more pixels than `pixelLimit`
// (counted from the headers, before any frame is decoded) are a failure.
std::optional<CursorAnimation> readCursorAnimation(QIODevice &device, CursorFrames which,
                                                   qint64 pixelLimit = maximumCursorPixels);
// The same of a file read whole already (of at most maximumCursorFileBytes).
std::optional<CursorAnimation> readCursorAnimation(const QByteArray &file, CursorFrames which,
                                                   qint64 pixelLimit = maximumCursorPixels);

// Of one frame's pictures, the one that draws a square of `side` best: the
// smallest that is at least that large, or else the largest.
const Picture &pictureForSide(const std::vector<Picture> &frame, int side);
