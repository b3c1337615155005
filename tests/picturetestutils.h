#pragma once

// Fixtures of the tests that work with pictures: generated pictures, and
// colours as failed comparisons show them.

#include "testutils.h"

#include "colour.h"
#include "iconfile.h"
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
// `image` as an icon stores it when it is used as it is: every wholly
// clear pixel 0, whatever colour it held.
inline QImage storedAsItIs(QImage image)
{
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) == 0)
                image.setPixel(x, y, 0);
    return image;
}

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

// What an icon of the one layout Tervana writes (32 x 32, 24 bits, an AND
// mask) shows, read as the format lays it out: rows bottom-up, blue, green,
// red, and a set mask bit for a transparent pixel, which reads as 0.
inline QImage readIcon24(const QByteArray &file)
{
    using namespace IconFile;
    QImage image(side, side, QImage::Format_ARGB32);
    if (file.size() != fileBytes)
        return QImage();
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int row = side - 1 - y;
            const uchar *colour = reinterpret_cast<const uchar *>(file.constData()) + colourOffset + 3 * (row * side + x);
            const bool clear = uchar(file[maskOffset + row * side / 8 + x / 8]) & (0x80 >> (x % 8));
            image.setPixel(x, y, clear ? 0u : qRgb(colour[2], colour[1], colour[0]));
        }
    return image;
}

// How the icon file differs from what the window's rule makes of `square`
// (pure black transparent, every other pixel opaque in its own colour), or
// nothing when it does not.
inline QString iconDifference(const QByteArray &file, const QImage &square)
{
    const QByteArray headers = QByteArray::fromHex("000001000100"
                                                   "2020000001001800A80C000016000000"
                                                   "2800000020000000400000000100180000000000800C0000")
                               + QByteArray(16, '\0');
    if (!file.startsWith(headers))
        return QStringLiteral("the headers are not those of a 32 x 32, 24-bit icon");
    const QImage shown = readIcon24(file);
    if (shown.isNull())
        return QStringLiteral("%1 bytes").arg(file.size());
    for (int y = 0; y < IconFile::side; ++y)
        for (int x = 0; x < IconFile::side; ++x) {
            const QRgb p = square.pixel(x, y) | 0xFF000000u;
            const QRgb expected = (p & 0xFFFFFF) == 0 ? 0u : p;
            if (shown.pixel(x, y) != expected)
                return QStringLiteral("pixel (%1, %2) is %3, expected %4")
                    .arg(x).arg(y).arg(shown.pixel(x, y), 8, 16, QLatin1Char('0')).arg(expected, 8, 16, QLatin1Char('0'));
        }
    return QString();
}

} // namespace testutils
