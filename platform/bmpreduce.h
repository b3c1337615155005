#pragma once

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QSizeF>

// Reads an uncompressed 24- or 32-bit bitmap straight into a reduced image:
// every pixel of the result is the exact average of a block of f x f source
// pixels (fewer at the right and bottom edges), f chosen so that the result
// still has at least eight pixels for each pixel of a `drawSize` drawing.
// Rows are streamed, so a huge bitmap never sits in memory whole.
//
// Gives a null image, with the device back at the start, when the file is
// another kind of bitmap, is too small to be worth reducing, or is cut short;
// the ordinary reader then takes it.
struct ReducedBmp
{
    QImage image;
    QSize naturalSize;
    // The bitmap's size in reduced pixels: the last column and row of blocks
    // may be partial, and then cover only part of a reduced pixel.
    QSizeF extent;
};
ReducedBmp readReducedBmp(QIODevice &device, QSize drawSize);
