#pragma once

#include "picture.h"

#include <QIODevice>
#include <QSize>

#include <optional>

// A big picture read reduced for a drawing of `drawSize` with `detail`: an
// uncompressed 24- or 32-bit bitmap, a GIF whose first image covers its
// screen, a PNG, TIFF or binary PBM/PGM/PPM too big to decode whole, or a
// sequential JPEG in colour or grey. Nothing when the picture is left to be decoded whole.
// `claimed` is what the picture's header claims (pictureprobe.h).
std::optional<Picture> readReducedPicture(QIODevice &device, QSize claimed, QSize drawSize, DrawDetail detail);

// The drawing size the reduced readers are given, which keep eight pixels
// for each pixel of it: the part of the drawing a picture of `size` covers,
// scaled for them to keep `fineDetail` pixels for each pixel instead, or
// `lightDetail` at the light detail.
QSize readerDrawSize(QSize size, QSize drawSize, DrawDetail detail, int lightDetail, int fineDetail = 8);
