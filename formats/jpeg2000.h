#pragma once

#include "failure.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>

// JPEG 2000 pictures, as a .jp2 file or a bare codestream holds them (the
// large images of macOS icon families among them), decoded by OpenJPEG:
// grey or RGB, with or without alpha, 1 to 16 bits a sample, reduced to 8.

// Whether `data` starts as a JPEG 2000 stream: the file signature box
// (length 12, "jP  "), or a bare codestream (its SOC and SIZ markers).
bool isJpeg2000(const QByteArray &data);

struct Jpeg2000Header
{
    QSize size;
    std::optional<Failure> failure;
};

// The size the codestream states (its SIZ marker, in a .jp2 file in its
// codestream box), found without the decoder, which is cheap enough for
// listing many; and why it is not read, as far as that tells: no size is
// stated, more than four channels, too many tiles or too many code blocks
// (counted from every coding style segment, tile-parts' too) are, or the
// codestream does not end. A failure's reason is said of the image: "is damaged (...)".
Jpeg2000Header statedJpeg2000Header(const QByteArray &data);

// The same, then the header as the decoder reads it: also why not, when it
// finds the header damaged or holding what is not read (channels of
// different sizes or depths beyond 16 bits, colours in CMYK).
Jpeg2000Header readJpeg2000Header(const QByteArray &data);

// The pixels of the stream, ARGB32 with straight alpha; or why not: as
// above, or the image decoded would hold more than `pixelLimit` pixels
// (known before anything is decoded), or its data is not whole. With
// `halvings`, it is decoded at a coarser resolution level, each halving its
// sides (rounded up), as far as the codestream has such levels.
struct Jpeg2000Image
{
    QImage image;
    std::optional<Failure> failure;
};
Jpeg2000Image decodeJpeg2000(const QByteArray &data, qint64 pixelLimit, int halvings = 0);
