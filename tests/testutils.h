#pragma once

// Shared fixtures: a sandbox folder per test, a window wired to scripted
// dialogs, and generated pictures.

#include "colour.h"
#include "commondialog.h"
#include "frmbmp2icon.h"
#include "messagebox.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace testutils {

// A window driven by scripted dialogs, its program folder in a sandbox.
struct ScriptedWindow
{
    explicit ScriptedWindow(const QString &programFolder)
        : window(std::make_unique<frmBmp2Icon>(WindowServices{&dialogs, &boxes, programFolder}))
    {
    }

    ScriptedFileDialog dialogs;
    ScriptedMessageBoxes boxes;
    std::unique_ptr<frmBmp2Icon> window;

    frmBmp2Icon *operator->() const { return window.get(); }
};

// A picture of one colour (0x00BBGGRR).
inline QImage solidImage(int width, int height, Colour colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(toQRgb(colour));
    return image;
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

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    const int status = QProcess::execute(QStringLiteral("convert"), {bitmap, QStringLiteral("GIF:") + path});
    QFile::remove(bitmap);
    return status == 0;
}

} // namespace testutils
