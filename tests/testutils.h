#pragma once

// Shared fixtures of every test (QtCore only): the sandbox home, the
// external tools, files and special files, bitmap files, and runs of the
// converter. picturetestutils.h adds pictures, windowtestutils.h the window.

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <csignal>
#include <memory>
#include <optional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace testutils {

// Whether the tests run under AddressSanitizer and UBSan (scripts/sanitize.sh),
// which look for memory faults and slow everything else down.
#ifdef TERVANA_SANITIZED
inline constexpr bool sanitizedBuild = true;
#else
inline constexpr bool sanitizedBuild = false;
#endif

// Every test program runs with its home and its configuration, data,
// cache and runtime folders in a sandbox of its own, set before main() so that no test,
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
        // Qt's runtime folder too, which it would otherwise make in /tmp.
        const QString runtime = m_dir.filePath(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
    QString path() const { return m_dir.path(); }
    // Where the settings store of `application` lies in the sandbox.
    QString settingsFile(const QString &application) const
    {
        return m_dir.filePath(QStringLiteral(".config/") + application + QStringLiteral(".conf"));
    }

private:
    QTemporaryDir m_dir;
};
inline const SandboxHome sandboxHome;

// A folder of its own for the test function and data row that is running,
// made inside `parent`: "<function>-<row>".
inline QString folderForThisTest(const QTemporaryDir &parent, const QString &prefix = QString())
{
    const QString row = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
    const QString folder =
        parent.filePath(prefix + QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char('-') + row);
    QDir().mkpath(folder);
    return folder;
}

// A test that needs a tool which is missing (`what`, a string literal)
// skips itself; under ./test.sh, which installs every tool the tests use
// and sets TERVANA_REQUIRE_TOOLS=1, it fails instead, so that a skip
// cannot hide a tool left out of scripts/install-deps.sh.
#define QSKIP_MISSING(what) \
    do { \
        if (qEnvironmentVariableIntValue("TERVANA_REQUIRE_TOOLS") == 1) \
            QFAIL(what " is not installed, and TERVANA_REQUIRE_TOOLS=1 requires it"); \
        QSKIP(what " is not installed"); \
    } while (false)

// The external tools some tests use, found when the tests were configured;
// empty when missing. QSKIP_UNLESS_TOOL skips the test that needs one.
inline const QString python3WithPillow = QStringLiteral(PYTHON3_WITH_PILLOW);
inline const QString imageMagickConvert = QStringLiteral(IMAGEMAGICK_CONVERT);
inline const QString icotool = QStringLiteral(ICOTOOL);
inline const QString setpriv = QStringLiteral(SETPRIV);
inline const QString rsvgConvert = QStringLiteral(RSVG_CONVERT);
inline const QString strace = QStringLiteral(STRACE);
inline const QString icns2png = QStringLiteral(ICNS2PNG);
inline const QString aapt2 = QStringLiteral(AAPT2);
#define QSKIP_UNLESS_TOOL(tool) \
    do { \
        if (testutils::tool.isEmpty()) \
            QSKIP_MISSING(#tool); \
    } while (false)

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The 32-bit little-endian numbers the bytes hold, in order.
inline QList<quint32> littleEndianNumbers(const QByteArray &data)
{
    QList<quint32> values;
    for (qsizetype at = 0; at + 4 <= data.size(); at += 4)
        values << qFromLittleEndian<quint32>(data.constData() + at);
    return values;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A bitmap file written field by field as the format lays it out: the
// 14-byte file header, a 40-byte BITMAPINFOHEADER, `palette` (four bytes
// an entry), then `pixels` as given (rows or run-length codes).
struct BmpLayout
{
    qint32 width = 0;
    qint32 height = 0; // negative: rows stored top-down
    quint16 bits = 24;
    quint32 compression = 0; // 1 and 2: run-length coded
    QByteArray palette;
    QByteArray pixels;
};
inline QByteArray bmpBytes(const BmpLayout &layout)
{
    const quint32 pixelOffset = 14 + 40 + quint32(layout.palette.size());
    QByteArray bytes(int(pixelOffset), '\0');
    char *p = bytes.data();
    p[0] = 'B';
    p[1] = 'M';
    qToLittleEndian<quint32>(pixelOffset + quint32(layout.pixels.size()), p + 2);
    qToLittleEndian<quint32>(pixelOffset, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(layout.width, p + 18);
    qToLittleEndian<qint32>(layout.height, p + 22);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(layout.bits, p + 28);
    qToLittleEndian<quint32>(layout.compression, p + 30);
    qToLittleEndian<quint32>(quint32(layout.pixels.size()), p + 34);
    qToLittleEndian<quint32>(quint32(layout.palette.size() / 4), p + 46);
    bytes.replace(54, layout.palette.size(), layout.palette);
    return bytes + layout.pixels;
}

// Things at a path that are no regular file, as tests make them: "pipe",
// "link to a pipe", "folder", "null device" and "full device" (made as
// nodes of the test's own, which needs root). Returns false when this
// machine lets the test make none.
inline bool makeSpecialFile(const QString &kind, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("pipe"))
        return mkfifo(name.constData(), 0600) == 0;
    if (kind == QLatin1String("link to a pipe"))
        return makeSpecialFile(QStringLiteral("pipe"), path + QStringLiteral(".target"))
               && QFile::link(path + QStringLiteral(".target"), path);
    if (kind == QLatin1String("folder"))
        return QDir().mkpath(path);
    const dev_t device = kind == QLatin1String("full device") ? makedev(1, 7) : makedev(1, 3);
    return mknod(name.constData(), S_IFCHR | 0600, device) == 0;
}

// What is at a path now: "missing", "file", "pipe", "device" or "other".
inline QString kindAt(const QString &path)
{
    struct stat info = {};
    if (stat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("missing");
    if (S_ISFIFO(info.st_mode))
        return QStringLiteral("pipe");
    if (S_ISCHR(info.st_mode))
        return QStringLiteral("device");
    return S_ISREG(info.st_mode) ? QStringLiteral("file") : QStringLiteral("other");
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

// What a program prints on its standard output, or nothing when it fails
// or takes longer than `milliseconds`.
inline QString outputOf(const QString &program, const QStringList &arguments, int milliseconds = 60000)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(milliseconds) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Decodes a picture or an icon with Pillow, an independent reader: its size,
// then one RRGGBBAA string per pixel, top row first. With `side`, an icon's
// image of that size; without, its largest.
inline QStringList decodeWithPillow(const QString &path, int side = 0)
{
    QStringList arguments = {QStringLiteral(TESTS_SOURCE_DIR "/icon_reader.py"), path};
    if (side > 0)
        arguments << QString::number(side);
    QStringList lines = outputOf(python3WithPillow, arguments).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList pixels{lines.isEmpty() ? QStringLiteral("Pillow could not read it") : lines.takeFirst()};
    for (const QString &line : std::as_const(lines))
        pixels += line.split(QLatin1Char(' '));
    return pixels;
}

// Runs the hostile-picture maker (tests/hostile/make_hostile_pictures.py);
// returns its "<expect> <name>" lines, or nothing when it failed.
inline QStringList makeHostilePictures(const QStringList &arguments)
{
    return outputOf(python3WithPillow,
                    QStringList{QStringLiteral(TESTS_SOURCE_DIR "/hostile/make_hostile_pictures.py")} + arguments)
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A failure's reason, or nothing when there is none, for a check's message.
template<typename Failure>
QString reasonOf(const std::optional<Failure> &failure)
{
    return failure ? failure->reason : QString();
}

// The offset of the first byte where two files differ, or -1 when equal.
inline qsizetype firstDifference(const QByteArray &a, const QByteArray &b)
{
    for (qsizetype i = 0; i < qMin(a.size(), b.size()); ++i)
        if (a[i] != b[i])
            return i;
    return a.size() == b.size() ? -1 : qMin(a.size(), b.size());
}

// A run of tervana-convert: its exit status (-1 when it crashed or did not
// finish in time), what it wrote, and how long it took.
struct Run
{
    int exitCode = -1;
    QByteArray outBytes;
    QString out;
    // Its messages: what went wrong, and apart, the notes that sizes were
    // enlarged from a small picture, which the tests of those check.
    QStringList errorLines;
    QStringList enlargedNotes;
    qint64 milliseconds = 0;
    // Its peak resident memory and the processor time it and its helpers
    // took, when measured (RunSetting::measurePeak).
    qint64 peakKilobytes = -1;
    qint64 processorMilliseconds = -1;
};

// How to start it, when not simply from here with this environment.
struct RunSetting
{
    QString workingFolder;
    QString standardInputFile;
    QByteArray standardInputBytes; // written through a pipe, 16 KB at a time
    QString standardOutputFile; // appended to
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Runs it through this command (setpriv ...) and this copy of it.
    QStringList wrapper;
    QString executable = QStringLiteral(TERVANA_CONVERT_EXECUTABLE);
    int timeoutMilliseconds = 60000;
    // Measures its peak memory and processor time, through Python (which
    // must be there).
    bool measurePeak = false;
};

// Runs a command and writes to a file its peak resident memory in KB and
// the processor time in milliseconds that it and its children took.
inline QStringList peakMeasuringWrapper(const QString &peakFile)
{
    return {python3WithPillow, QStringLiteral("-c"),
            QStringLiteral("import resource, subprocess, sys\n"
                           "status = subprocess.call(sys.argv[2:])\n"
                           "used = resource.getrusage(resource.RUSAGE_CHILDREN)\n"
                           "open(sys.argv[1], 'w').write('%d %d' % (used.ru_maxrss, 1000 * (used.ru_utime + used.ru_stime)))\n"
                           "sys.exit(status)"),
            peakFile};
}

inline Run runConverter(const QStringList &arguments, const RunSetting &setting = RunSetting())
{
    QProcess converter;
    converter.setProcessEnvironment(setting.environment);
    converter.setWorkingDirectory(setting.workingFolder);
    if (!setting.standardOutputFile.isEmpty())
        converter.setStandardOutputFile(setting.standardOutputFile, QIODevice::Append);
    if (!setting.standardInputFile.isEmpty())
        converter.setStandardInputFile(setting.standardInputFile);
    QTemporaryDir peakFolder;
    const QString peakFile = peakFolder.filePath(QStringLiteral("peak"));
    const QStringList command = (setting.measurePeak ? peakMeasuringWrapper(peakFile) : QStringList()) + setting.wrapper
                                + QStringList{setting.executable} + arguments;
    QElapsedTimer timer;
    timer.start();
    converter.start(command.first(), command.mid(1));
    for (qsizetype at = 0; at < setting.standardInputBytes.size() && converter.waitForStarted(); at += 16 * 1024) {
        converter.write(setting.standardInputBytes.mid(at, 16 * 1024));
        converter.waitForBytesWritten(setting.timeoutMilliseconds);
    }
    if (!setting.standardInputBytes.isEmpty())
        converter.closeWriteChannel();
    Run run;
    if (!converter.waitForFinished(setting.timeoutMilliseconds) || converter.exitStatus() != QProcess::NormalExit)
        return run;
    run.milliseconds = timer.elapsed();
    run.exitCode = converter.exitCode();
    run.outBytes = converter.readAllStandardOutput();
    run.out = QString::fromUtf8(run.outBytes);
    for (const QString &line : QString::fromUtf8(converter.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        (line.contains(QStringLiteral("\" is enlarged for ")) ? run.enlargedNotes : run.errorLines) << line;
    if (setting.measurePeak) { // 0 when it was not measured
        const QList<QByteArray> measured = readFile(peakFile).split(' ');
        run.peakKilobytes = measured.value(0).toLongLong();
        run.processorMilliseconds = measured.value(1).toLongLong();
    }
    return run;
}

} // namespace testutils

namespace testutils {

// Converts every picture of `folder` into `output` in one run, with the
// converter's `options` first.
inline Run convertFolder(const QString &folder, const QString &output, const QStringList &options = {},
                         const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QDir().mkpath(output);
    QStringList arguments = options;
    for (const QString &name : QDir(folder).entryList(QDir::Files, QDir::Name))
        arguments << QDir(folder).filePath(name);
    RunSetting setting;
    setting.environment = environment;
    setting.timeoutMilliseconds = 300000;
    return runConverter(arguments + QStringList{QStringLiteral("-d"), output}, setting);
}

} // namespace testutils
