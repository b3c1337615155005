#pragma once

#include "failure.h"

#include <QByteArray>
#include <QIODevice>

#include <optional>

// SVG drawings (and SVGZ, their gzip-compressed form), checked before any
// renderer sees them.

// Reads the SVG document from the device, uncompressed, and checks it.
// Refused: a document that declares entities, nests too deep or holds too
// many elements, refers to another file or address anywhere a renderer may
// read one (an SVG never reads anything but itself), embeds anything but a
// picture of the common kinds, or embeds pictures too large.
struct SvgRead
{
    QByteArray xml;
    std::optional<Failure> failure;
    // Its hot spot marker lies farther than the renderer measures.
    bool hotSpotBeyondReach = false;
    // Its cost grows with every pixel drawn more than a few shapes' does:
    // many filter steps, masks or patterns, many elements, or a long
    // document. Such a drawing is drawn no finer than the largest size it
    // is for (svgformat.cpp).
    bool costlyPerPixel = false;
};
SvgRead readSvgDocument(QIODevice &device);
