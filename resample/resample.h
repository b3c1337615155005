#pragma once

#include <QImage>
#include <QSize>
#include <QSizeF>

// Scales `source` to exactly `size` pixels and returns it premultiplied.
// Each axis is treated on its own: when it shrinks, every target pixel is the
// exact area average of the source pixels it covers (so a photo shrunk to
// 32 x 32 keeps its true mean colours); when it grows, neighbours are blended
// linearly; at 1:1 pixels are copied unchanged.
// `extent` is how much of the source is picture, in source pixels; a smaller
// extent than the image makes the last column or row count only in part.
QImage resampleImage(const QImage &source, QSize size, QSizeF extent = QSizeF());

// The image in a format the resampler reads as it stands (32-bit, 8-bit
// indexed or grey, 24-bit); any other (1-bit, 16 bits a channel ...) is
// converted, once, as the resampler would convert it for every drawing.
QImage resamplableImage(QImage image);
