#pragma once

#include "picture.h"

#include <QIODevice>
#include <QSize>

// A picture decoded whole: a run-length coded bitmap by our own decoder,
// anything else by Qt's readers (a JPEG the reduced reader leaves to them
// still at a reduced scale when it can be), within the limits of
// picturelimits.h and one big decode at a time. `claimed` is the size the
// header claims, when it says.
PictureLoad decodeWholePicture(QIODevice &device, QSize claimed, QSize drawSize, DrawDetail detail);
