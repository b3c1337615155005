#pragma once

// Shared fixtures of every test: the sandbox home, the external tools,
// generated pictures and file helpers. windowtestutils.h adds the window.

#include "colour.h"
#include "qtcolour.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <sys/resource.h>

// How a failed comparison shows a colour: 0x00BBGGRR.
inline char *toString(const Colour &colour)
{
    return qstrdup(qPrintable(QStringLiteral("0x%1").arg(colour.value(), 8, 16, QLatin1Char('0'))));
}

namespace testutils {

// Every test program runs with its home and its configuration, data and
// cache folders in a sandbox of its own, set before main() so that no test,
// not even one that forgets, touches the real ones. Programs the tests start
// inherit it.
class SandboxHome
{
public:
    SandboxHome()
    {
        const QByteArray home = QFile::encodeName(m_dir.path());
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", home + "/.config");
        qputenv("XDG_DATA_HOME", home + "/.local/share");
        qputenv("XDG_CACHE_HOME", home + "/.cache");
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
inline const SandboxHome sandboxHome;

// The external tools some tests use, found when the tests were configured;
// empty when missing. QSKIP_UNLESS_TOOL skips the test that needs one.
inline const QString python3WithPillow = QStringLiteral(PYTHON3_WITH_PILLOW);
inline const QString imageMagickConvert = QStringLiteral(IMAGEMAGICK_CONVERT);
inline const QString icotool = QStringLiteral(ICOTOOL);
inline const QString setpriv = QStringLiteral(SETPRIV);
#define QSKIP_UNLESS_TOOL(tool) \
    do { \
        if (testutils::tool.isEmpty()) \
            QSKIP(#tool " is not installed"); \
    } while (false)

// A picture of one colour (0x00BBGGRR).
inline QImage solidImage(int width, int height, Colour colour);
// The same with the colour written 0x00BBGGRR.
inline QImage solidImage(int width, int height, quint32 bgr)
{
    return solidImage(width, height, Colour(bgr));
}
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
    const int status = imageMagickConvert.isEmpty()
                           ? -1
                           : QProcess::execute(imageMagickConvert, {bitmap, QStringLiteral("GIF:") + path});
    QFile::remove(bitmap);
    return status == 0;
}

// Makes every write past `bytes` in a file fail, as a full disk would, for
// as long as the object lives.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
};

// Decodes an icon with Pillow, an independent reader: its size, then one
// RRGGBBAA string per pixel, top row first.
inline QStringList decodeWithPillow(const QString &path)
{
    QProcess reader;
    reader.start(python3WithPillow, {QStringLiteral(TESTS_SOURCE_DIR "/icon_reader.py"), path});
    if (!reader.waitForFinished(20000) || reader.exitCode() != 0)
        return {QString::fromLocal8Bit(reader.readAllStandardError())};
    QStringList lines = QString::fromLatin1(reader.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList pixels{lines.isEmpty() ? QString() : lines.takeFirst()};
    for (const QString &line : std::as_const(lines))
        pixels += line.split(QLatin1Char(' '));
    return pixels;
}

// The offset of the first byte where two files differ, or -1 when equal.
inline qsizetype firstDifference(const QByteArray &a, const QByteArray &b)
{
    for (qsizetype i = 0; i < qMin(a.size(), b.size()); ++i)
        if (a[i] != b[i])
            return i;
    return a.size() == b.size() ? -1 : qMin(a.size(), b.size());
}

// A run of tervana-convert: its exit status (-1 when it did not finish
// within a minute), what it wrote, and how long it took.
struct Run
{
    int exitCode = -1;
    QByteArray outBytes;
    QString out;
    QStringList errorLines;
    qint64 milliseconds = 0;
};

inline Run runConverter(const QStringList &arguments, const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess converter;
    converter.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    converter.start(QStringLiteral(TERVANA_CONVERT_EXECUTABLE), arguments);
    Run run;
    if (!converter.waitForFinished(60000) || converter.exitStatus() != QProcess::NormalExit)
        return run;
    run.milliseconds = timer.elapsed();
    run.exitCode = converter.exitCode();
    run.outBytes = converter.readAllStandardOutput();
    run.out = QString::fromUtf8(run.outBytes);
    run.errorLines = QString::fromUtf8(converter.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return run;
}

} // namespace testutils
