#pragma once

#include <QByteArray>
#include <QImage>

// The bytes of a 24-bit bottom-up Windows bitmap of `image`.
QByteArray encodeBmp24(const QImage &image);

// The bytes of a PNG of `image`, its alpha not premultiplied (an image
// without an alpha channel, such as RGB32, is written without one), at 100
// dots per inch whatever program writes it (an image's default follows the
// screen), or nothing when it cannot be written. `fast` takes zlib's
// fastest level: several times quicker, a few KB more.
QByteArray encodePng(const QImage &image, bool fast = false);
