// tervana-convert: Tervana's conversion for scripts and batches, without a
// window. Each picture is read, fitted into the 32 x 32 square and saved by
// the same core the window's Open and Save use, so the files are the ones
// the window writes. Pictures are converted side by side (-j); what is said
// about them, and the exit status, follow the order they were given in.

#include "atomicfile.h"
#include "fileaccess.h"
#include "iconsizes.h"
#include "picture.h"
#include "square.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <unistd.h>
#endif
#ifdef TERVANA_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

enum ExitStatus { AllConverted = 0, SomeFailed = 1, BadUsage = 2 };

// The window's square has the background of the classic colour scheme's
// windows in its bands: white.
constexpr QRgb bandColour = qRgb(255, 255, 255);

struct Options
{
    SquareOutput output = SquareOutput::ColourIcon;
    std::vector<int> sizes; // with --sizes: an icon of these sizes instead
    bool keyBlack = false;
    QStringList inputs;
    QString outputFile;
    QString folder;
    int jobs = 1;
};

FILE *messages = stderr;

void printLine(FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", qPrintable(text));
    std::fflush(stream);
}

// The converter's stderr carries its own lines, one per picture that failed.
// Some image libraries print complaints of their own straight to the
// process's stderr (libpng does for a damaged PNG), so that goes to the null
// device and the converter writes to a copy of the real one. Sanitizer
// reports, in builds that have them, still go to the real one.
FILE *keepLibraryMessagesOffStderr()
{
#ifdef Q_OS_UNIX
    // Above the three standard ones: were standard output closed, a copy in
    // its place would take what the pipeline meant for it.
    const int real = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (real < 0)
        return stderr;
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0 || ::dup2(null, STDERR_FILENO) < 0)
        return stderr;
    ::close(null);
#ifdef TERVANA_SANITIZED
    __sanitizer_set_report_fd(reinterpret_cast<void *>(qintptr(real)));
#endif
    if (FILE *stream = ::fdopen(real, "w"))
        return stream;
#endif
    return stderr;
}

// Standard output stands for the output file when it is named "-".
bool namesStandardOutput(const QString &output)
{
    return output == QStringLiteral("-");
}

QString shown(const QString &path)
{
    return namesStandardOutput(path) ? QStringLiteral("standard output") : QDir::toNativeSeparators(path);
}

// The file a picture is converted to: -o as given, or the picture's base
// name in -d's folder with the output's extension.
QString outputFor(const Options &options, const QString &input)
{
    if (!options.outputFile.isEmpty())
        return options.outputFile;
    const QString extension = options.output == SquareOutput::Bitmap ? QStringLiteral(".bmp") : QStringLiteral(".ico");
    return QDir(options.folder).filePath(QFileInfo(input).completeBaseName() + extension);
}

VbError writeToStandardOutput(const QByteArray &bytes)
{
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush())
        return VbError::pathFileAccess(QStringLiteral("standard output does not take it"));
    return VbError::none();
}

// One picture made into the bytes of its result, or the reason it cannot be.
struct Converted
{
    QByteArray bytes;
    QString failure;
};

Converted convert(const Options &options, const QString &input)
{
    if (!options.sizes.empty()) {
        // Read once, with detail enough for the largest size; every size is
        // made from that.
        const int largest = options.sizes.front();
        const PictureLoad load = LoadPicture(input, QSize(largest, largest), DrawDetail::Light);
        if (load.error)
            return {QByteArray(), cannotOpen(input, load)};
        return {encodeIconSizes(load.picture, options.sizes, options.keyBlack), QString()};
    }
    const PictureLoad load = LoadPicture(input, QSize(Square::side, Square::side));
    if (load.error)
        return {QByteArray(), cannotOpen(input, load)};
    return {encodeSquare(fitIntoSquare(load.picture, bandColour), options.output), QString()};
}

// Writes a result; returns the reason it could not be, or nothing. A
// device, a pipe or standard output is written into, never replaced.
QString write(const QByteArray &bytes, const QString &output, const QString &input)
{
    const VbError failure = namesStandardOutput(output) ? writeToStandardOutput(bytes) : writeFile(output, bytes);
    if (failure)
        return QStringLiteral("Tervana cannot write \"%1\" for \"%2\": %3.")
            .arg(shown(output), QDir::toNativeSeparators(input), failure.why());
    return QString();
}

// The pictures of the run by the file each is, the first of any that are
// one file: a result must never replace a picture being converted,
// whatever name it goes by.
QHash<QString, QString> inputsByFile(const QStringList &inputs)
{
    QHash<QString, QString> byFile;
    for (const QString &input : inputs)
        if (const QString key = existingFileKey(input); !key.isEmpty() && !byFile.contains(key))
            byFile.insert(key, input);
    return byFile;
}

// The input of the run that `output` would overwrite, if any.
QString inputAt(const QString &output, const QHash<QString, QString> &inputs)
{
    const QString key = namesStandardOutput(output) ? standardOutputKey() : existingFileKey(output);
    return key.isEmpty() ? QString() : inputs.value(key);
}

// What an output file is, whatever name leads to it: the file a link
// points to, in its folder as the folder really is.
QString fileIdentity(const QString &output)
{
    const QFileInfo info(output);
    if (namesStandardOutput(output))
        return output;
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? info.absoluteFilePath() : QDir(folder).filePath(info.fileName());
}

// Why each picture is not converted at all, decided before anything is
// written: its result would replace one of the inputs, or the result of an
// earlier picture of the run (two pictures of one name, or names that lead
// to one file).
std::vector<QString> refusals(const QStringList &inputs, const QStringList &outputs)
{
    std::vector<QString> refused(size_t(inputs.size()));
    QHash<QString, QString> taken; // output file -> the earlier input it is for
    const QHash<QString, QString> byFile = inputsByFile(inputs);
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        const QString &output = outputs[i];
        const QString key = fileIdentity(output);
        if (const QString input = inputAt(output, byFile); !input.isEmpty())
            refused[size_t(i)] = QStringLiteral("Tervana will not write \"%1\" for \"%2\": it is the picture \"%3\".")
                                     .arg(shown(output), QDir::toNativeSeparators(inputs[i]), QDir::toNativeSeparators(input));
        else if (taken.contains(key))
            refused[size_t(i)] = QStringLiteral("Tervana will not overwrite \"%1\", the result for \"%2\", with \"%3\".")
                                     .arg(shown(output), QDir::toNativeSeparators(taken[key]),
                                          QDir::toNativeSeparators(inputs[i]));
        else
            taken.insert(key, inputs[i]);
    }
    return refused;
}

// Converts every picture, `jobs` at a time, and reports in input order, each
// report as soon as it and all before it are done. Returns whether all were
// converted. There are four times as many threads as jobs: a thread waiting
// for its file to reach the disk (several may, on a slow disk) has left its
// job to another.
bool convertAll(const Options &options)
{
    const qsizetype count = options.inputs.size();
    QStringList outputs;
    for (const QString &input : options.inputs)
        outputs << outputFor(options, input);
    std::vector<QString> failures = refusals(options.inputs, outputs);

    std::vector<bool> done(size_t(count), false);
    std::mutex mutex;
    std::condition_variable finished;
    std::atomic<qsizetype> next{0};
    QSemaphore jobs(options.jobs);
    const auto work = [&] {
        for (qsizetype i = next++; i < count; i = next++) {
            QString failure = failures[size_t(i)];
            if (failure.isEmpty()) {
                jobs.acquire();
                const Converted converted = convert(options, options.inputs[i]);
                jobs.release();
                failure = converted.failure.isEmpty() ? write(converted.bytes, outputs[i], options.inputs[i])
                                                      : converted.failure;
            }
            const std::lock_guard<std::mutex> lock(mutex);
            failures[size_t(i)] = failure;
            done[size_t(i)] = true;
            finished.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (qsizetype j = 0; j < qMin<qsizetype>(4 * qsizetype(options.jobs), count); ++j) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error &) {
            break; // the system gives no more threads: those there share the work
        }
    }
    if (workers.empty())
        work(); // not one thread to be had: this one converts them all

    bool allConverted = true;
    for (qsizetype i = 0; i < count; ++i) {
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [&] { return bool(done[size_t(i)]); });
        if (!failures[size_t(i)].isEmpty()) {
            printLine(messages, QStringLiteral("tervana-convert: ") + failures[size_t(i)]);
            allConverted = false;
        }
    }
    for (std::thread &worker : workers)
        worker.join();
    return allConverted;
}

// --help, or --help-all, which the parser offers too (the converter has no
// further options to show there).
bool asksForHelp(const QCommandLineParser &parser)
{
    return parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
}

// Reads the command line into `options`; returns an error text for bad usage.
QString parse(QCommandLineParser &parser, const QStringList &arguments, Options &options)
{
    const QCommandLineOption bmp(QStringLiteral("bmp"), QStringLiteral("Write the fitted square as a 24-bit bitmap."));
    const QCommandLineOption mono(QStringLiteral("mono"), QStringLiteral("Write a black-and-white (1-bit) icon."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write the one input's result to <file> (- for standard output)."),
                                    QStringLiteral("file"));
    const QCommandLineOption folder({QStringLiteral("d"), QStringLiteral("directory")},
                                    QStringLiteral("Write each result into <dir>, named after its input."),
                                    QStringLiteral("dir"));
    const QCommandLineOption jobs({QStringLiteral("j"), QStringLiteral("jobs")},
                                  QStringLiteral("Convert <n> pictures at a time (default: one per processor)."),
                                  QStringLiteral("n"));
    const QCommandLineOption sizes(
        QStringLiteral("sizes"),
        QStringLiteral("Write one icon holding an image of each size in <list> (whole numbers from 1 to 256 separated "
                       "by commas, or \"all\" for 16,24,32,48,64,128,256), largest first, at 32 bits with real "
                       "transparency: the picture's own, and transparent bands. The 256 image is stored as PNG."),
        QStringLiteral("list"));
    const QCommandLineOption keyBlack(QStringLiteral("key-black"),
                                      QStringLiteral("With --sizes: make pure black transparent too, as the window does."));
    parser.setApplicationDescription(
        QStringLiteral("Turns pictures (JPEG, GIF, BMP) into 32 x 32 icons, as Tervana's window does: fitted with "
                       "proportions kept and centred, pure black transparent. With --sizes, into icons of several "
                       "sizes with an alpha channel."));
    parser.addOptions({bmp, mono, output, folder, jobs, sizes, keyBlack});
    parser.addPositionalArgument(QStringLiteral("INPUT"), QStringLiteral("Pictures to convert."), QStringLiteral("INPUT..."));
    parser.addHelpOption();
    parser.addVersionOption();
    if (!parser.parse(arguments))
        return parser.errorText();
    if (asksForHelp(parser) || parser.isSet(QStringLiteral("version")))
        return QString();

    options.inputs = parser.positionalArguments();
    options.outputFile = parser.value(output);
    options.folder = parser.value(folder);
    if (parser.isSet(bmp) && parser.isSet(mono))
        return QStringLiteral("--bmp and --mono cannot be used together.");
    options.output = parser.isSet(bmp) ? SquareOutput::Bitmap
                     : parser.isSet(mono) ? SquareOutput::BlackAndWhiteIcon
                                          : SquareOutput::ColourIcon;
    if (parser.isSet(sizes)) {
        if (parser.isSet(bmp) || parser.isSet(mono))
            return QStringLiteral("--sizes cannot be used with --bmp or --mono.");
        QString error;
        options.sizes = parseIconSizes(parser.value(sizes), error);
        if (options.sizes.empty())
            return error;
    }
    if (parser.isSet(keyBlack) && !parser.isSet(sizes))
        return QStringLiteral("--key-black goes with --sizes (the 32 x 32 icon always makes pure black transparent).");
    options.keyBlack = parser.isSet(keyBlack);
    options.jobs = qMax(1, QThread::idealThreadCount());
    if (parser.isSet(jobs)) {
        bool whole = false;
        options.jobs = parser.value(jobs).toInt(&whole);
        if (!whole || options.jobs < 1 || options.jobs > 1024)
            return QStringLiteral("-j takes a whole number from 1 to 1024.");
    }
    if (options.inputs.isEmpty())
        return QStringLiteral("No input picture given.");
    if (parser.isSet(output) == parser.isSet(folder))
        return QStringLiteral("Give either -o OUTPUT or -d DIR.");
    if (parser.isSet(output) && options.inputs.size() > 1)
        return QStringLiteral("-o takes one input; use -d DIR for several.");
    if (parser.isSet(output) && options.outputFile.isEmpty())
        return QStringLiteral("-o needs a file name (or - for standard output).");
    if (parser.isSet(folder) && !QFileInfo(options.folder).isDir())
        return QStringLiteral("\"%1\" is not a folder.").arg(options.folder);
    return QString();
}

// A command-line tool's stderr is for its own one-line reports; the
// toolkit's warnings are noise there.
void keepOnlySeriousMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        printLine(messages, message);
}

} // namespace

int main(int argc, char *argv[])
{
    messages = keepLibraryMessagesOffStderr();
    qInstallMessageHandler(keepOnlySeriousMessages);
#ifdef SIGPIPE
    // A pipe that stops reading is reported as a failed write, not a kill.
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef __GLIBC__
    // One heap for all threads: a picture's few large buffers are then
    // reused by the next picture whichever thread takes it, where a heap
    // per thread would each keep its own (a third more peak memory).
    mallopt(M_ARENA_MAX, 1);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tervana-convert"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TERVANA_VERSION));

    QCommandLineParser parser;
    Options options;
    const QString usageError = parse(parser, QCoreApplication::arguments(), options);
    if (!usageError.isEmpty()) {
        printLine(messages, QStringLiteral("tervana-convert: ") + usageError);
        printLine(messages, QStringLiteral("Try 'tervana-convert --help'."));
        return BadUsage;
    }
    if (asksForHelp(parser)) {
        printLine(stdout, parser.helpText());
        printLine(stdout, QStringLiteral("Usage: tervana-convert [--bmp | --mono | --sizes LIST [--key-black]] [-j N] "
                                         "INPUT... (-o OUTPUT | -d DIR)"));
        printLine(stdout, QStringLiteral("Example: tervana-convert --sizes all logo.png -o logo.ico"));
        return AllConverted;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        printLine(stdout, QStringLiteral("tervana-convert ") + QCoreApplication::applicationVersion());
        return AllConverted;
    }
    return convertAll(options) ? AllConverted : SomeFailed;
}
