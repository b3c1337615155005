#pragma once

#include "picture.h"

#include <QIODevice>
#include <QSize>

// Reads a picture from an open device (a file, or bytes in memory), its
// format recognised from its content, never from its name (formats.h): a
// JPEG photo's orientation tag is applied; an animated GIF gives its first
// frame; a TIFF its first page. When `drawSize` is given, a big picture may
// be read at a reduced size that still holds far more detail than a drawing
// of that size needs. The limits are in picturelimits.h.
PictureLoad readPicture(QIODevice &device, QSize drawSize = QSize(), DrawDetail detail = DrawDetail::Fine);
