#pragma once

// Fixtures of the tests that work with pictures: generated pictures, and
// colours as failed comparisons show them.

#include "testutils.h"

#include "colour.h"
#include "qtcolour.h"

#include <QImage>

// How a failed comparison shows a colour: 0x00BBGGRR.
inline char *toString(const Colour &colour)
{
    return qstrdup(qPrintable(QStringLiteral("0x%1").arg(colour.value(), 8, 16, QLatin1Char('0'))));
}

namespace testutils {

// A picture of one colour (0x00BBGGRR).
inline QImage solidImage(int width, int height, Colour colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(toQRgb(colour));
    return image;
}
inline QImage solidImage(int width, int height, quint32 bgr)
{
    return solidImage(width, height, Colour(bgr));
}

// A picture whose every pixel differs, so copies and flips show.
inline QImage patternImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7 + y) & 0xFF, (y * 5 + 3 * x) & 0xFF, (x * y + 11) & 0xFF));
    return image;
}

// Saves `image` in `format` ("JPG", "GIF", "BMP", "ICO", "PNG") under any
// name. Qt writes no GIF, so ImageMagick makes those from a bitmap.
inline bool saveImage(const QImage &image, const QString &path, const char *format, int quality = 95)
{
    if (qstrcmp(format, "GIF") != 0)
        return image.save(path, format, quality);
    const QString bitmap = path + QStringLiteral(".source.bmp");
    if (!image.save(bitmap, "BMP"))
        return false;
    const int status = imageMagickConvert.isEmpty()
                           ? -1
                           : QProcess::execute(imageMagickConvert, {bitmap, QStringLiteral("GIF:") + path});
    QFile::remove(bitmap);
    return status == 0;
}

} // namespace testutils
