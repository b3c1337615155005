#pragma once

#include "bmpheader.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>

// A run-length coded bitmap (4 or 8 bits per pixel), decoded whole. Such a
// file may skip pixels (a move further on, a row or the bitmap ended early);
// a skipped pixel is never drawn, so it comes out transparent and whatever
// the picture is drawn on shows there, the same every time. A null image
// when the file is not such a bitmap, or is damaged; the device is left
// where it was.
QImage readRunLengthBmp(QIODevice &device);
// The same for a bitmap whose header has been parsed from `head`, its first
// bytes (64 of them, or fewer when the file is shorter).
QImage readRunLengthBmp(QIODevice &device, const BmpHeader &header, const QByteArray &head);
