// tervana-convert: Tervana's conversion for scripts and batches, without a
// window. Each picture is read, fitted into the 32 x 32 square and saved by
// the same core the window's Open and Save use, so the files are the ones
// the window writes. Pictures are converted side by side (-j); what is said
// about them, and the exit status, follow the order they were given in.

#include "batch.h"
#include "dashoptions.h"
#include "fileaccess.h"
#include "folderlisting.h"
#include "iconcontents.h"
#include "iconsizes.h"
#include "messagestream.h"
#include "nativename.h"
#include "outputplan.h"
#include "progressline.h"
#include "stopping.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <csignal>

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

enum ExitStatus { AllConverted = 0, SomeFailed = 1, BadUsage = 2 };

void reportFailure(const QString &failure);

// What the run does with its inputs.
enum class Task { Convert, List, Extract };

struct Options
{
    Task task = Task::Convert;
    ConversionOptions conversion;
    QStringList inputs;
    QString outputFile;
    QString folder;
    int jobs = 1;
    QString list;           // --files-from
    bool nulSeparated = false;
    bool recursive = false;
    bool followLinks = false;
    bool quiet = false;
    bool progress = false;
};

FILE *messages = stderr;

bool asksForHelp(const QCommandLineParser &parser)
{
    return parser.isSet(QStringLiteral("help"));
}

// How the converter is used, before the options --help lists.
const QString usage = QStringLiteral(
    "Usage: tervana-convert [--bmp | --mono | --sizes LIST [--key-black]] [-j N] INPUT... (-o OUTPUT | -d DIR)\n"
    "       tervana-convert [OPTIONS] -r FOLDER... -d DIR\n"
    "       tervana-convert [OPTIONS] --files-from LIST [-0] -d DIR\n"
    "       tervana-convert --list ICON...\n"
    "       tervana-convert --extract ICON... -d DIR");

// What --help ends with: the examples a new user needs first.
const QString examples = QStringLiteral(
    "Examples:\n"
    "  tervana-convert photo.jpg -o photo.ico             a 32 x 32 icon, as the window saves it\n"
    "  tervana-convert --sizes all logo.png -o logo.ico   a logo's icon: 16 to 256 pixels, 32 bits with alpha\n"
    "  tervana-convert --sizes windows logo.svg -o app.ico  a drawing, from its shapes, at every size Windows asks for");

// The options, as --help shows them.
void declareOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Turns pictures (JPEG, GIF, BMP, PNG, WebP, TIFF, TGA, PBM/PGM/PPM, ICO, CUR, SVG) into 32 x 32 icons, as "
        "Tervana's window does: fitted with proportions kept and centred, pure black transparent; a picture with a "
        "transparency of its own keeps it instead. For a logo or an application's icon, --sizes makes icons of "
        "several sizes at 32 bits with alpha, as desktops show them."));
    parser.addOptions({
        {QStringLiteral("bmp"), QStringLiteral("Write the fitted square as a 24-bit bitmap.")},
        {QStringLiteral("mono"), QStringLiteral("Write a black-and-white (1-bit) icon.")},
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("Write the one input's result to <file> (- for standard output). With --sizes, the inputs "
                        "make one icon together."),
         QStringLiteral("file")},
        {{QStringLiteral("d"), QStringLiteral("directory")},
         QStringLiteral("Write each result into <dir>, named after its input."), QStringLiteral("dir")},
        {{QStringLiteral("j"), QStringLiteral("jobs")},
         QStringLiteral("Convert <n> pictures at a time (default: one per processor)."), QStringLiteral("n")},
        {QStringLiteral("sizes"),
         QStringLiteral("Write one icon holding an image of each size in <list> (whole numbers from 1 to 256 "
                        "separated by commas; \"all\" for 16,24,32,48,64,128,256, \"windows\" for "
                        "16,20,24,32,40,48,64,96,256, \"favicon\" for 16,32,48), largest first, at 32 bits with "
                        "real transparency: the picture's own, and transparent bands. The 256 image is stored as "
                        "PNG. A picture exactly one size square is that size's image as it is; an icon counts as "
                        "all its images; a drawing is drawn from its shapes, fine enough for every size."),
         QStringLiteral("list")},
        {QStringLiteral("key-black"), QStringLiteral("With --sizes: make pure black transparent too, as the window does.")},
        {{QStringLiteral("r"), QStringLiteral("recursive")},
         QStringLiteral("Convert every picture under the folders given; with -d, the results go into the same tree "
                        "of folders under DIR. Files that are not pictures are counted and left alone.")},
        {{QStringLiteral("L"), QStringLiteral("follow-links")},
         QStringLiteral("With -r: walk links to folders too (they are left alone otherwise).")},
        {QStringLiteral("files-from"),
         QStringLiteral("Convert the pictures listed in <file> (- for standard input), one per line, as the list "
                        "comes."),
         QStringLiteral("file")},
        {{QStringLiteral("0"), QStringLiteral("null")},
         QStringLiteral("With --files-from: the names end with a NUL byte, as find -print0 writes them.")},
        {QStringLiteral("progress"),
         QStringLiteral("Show the progress line even when standard error is not a terminal.")},
        {{QStringLiteral("q"), QStringLiteral("quiet")},
         QStringLiteral("Say nothing, not even which pictures failed; the exit status tells.")},
        {QStringLiteral("list"),
         QStringLiteral("List each image of the icons or cursors given: size, bits per pixel, BMP or PNG, bytes and "
                        "offset, and what is wrong with it. A damaged icon is reported and the exit status is 1.")},
        {QStringLiteral("extract"),
         QStringLiteral("Write each image of the icons or cursors given into -d DIR as a PNG with alpha, named after "
                        "the icon, the image's size and its bits per pixel.")},
    });
    parser.addPositionalArgument(QStringLiteral("INPUT"), QStringLiteral("Pictures to convert (- for standard input)."),
                                 QStringLiteral("INPUT..."));
    // Qt's own help option would offer --help-all, which shows nothing more.
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit.")});
    parser.addVersionOption();
}

// The names of the long options declareOptions() declares.
QStringList longOptionNames()
{
    return {QStringLiteral("bmp"),   QStringLiteral("mono"),     QStringLiteral("output"), QStringLiteral("directory"),
            QStringLiteral("jobs"),  QStringLiteral("sizes"),    QStringLiteral("key-black"), QStringLiteral("list"),
            QStringLiteral("recursive"), QStringLiteral("follow-links"), QStringLiteral("files-from"),
            QStringLiteral("null"), QStringLiteral("progress"), QStringLiteral("quiet"),
            QStringLiteral("extract"), QStringLiteral("help"),   QStringLiteral("version")};
}

// What each picture becomes (--bmp, --mono, --sizes, --key-black); returns
// an error text for bad usage.
QString readConversion(const QCommandLineParser &parser, ConversionOptions &conversion)
{
    const bool bmp = parser.isSet(QStringLiteral("bmp"));
    const bool mono = parser.isSet(QStringLiteral("mono"));
    const bool sizes = parser.isSet(QStringLiteral("sizes"));
    if (bmp && mono)
        return QStringLiteral("--bmp and --mono cannot be used together.");
    conversion.output = bmp ? SquareOutput::Bitmap : mono ? SquareOutput::BlackAndWhiteIcon : SquareOutput::ColourIcon;
    if (sizes) {
        if (bmp || mono)
            return QStringLiteral("--sizes cannot be used with --bmp or --mono.");
        QString error;
        conversion.sizes = parseIconSizes(parser.value(QStringLiteral("sizes")), error);
        if (conversion.sizes.empty())
            return error;
    }
    conversion.keyBlack = parser.isSet(QStringLiteral("key-black"));
    if (conversion.keyBlack && !sizes)
        return QStringLiteral("--key-black goes with --sizes (the 32 x 32 icon always makes pure black transparent).");
    return QString();
}

// Which pictures beyond those named: folders walked (-r, -L), a list
// (--files-from, -0); and what is shown (--progress, --quiet). Returns an
// error text for bad usage.
QString readWalk(const QCommandLineParser &parser, Options &options)
{
    options.recursive = parser.isSet(QStringLiteral("recursive"));
    options.followLinks = parser.isSet(QStringLiteral("follow-links"));
    options.list = parser.value(QStringLiteral("files-from"));
    options.nulSeparated = parser.isSet(QStringLiteral("null"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    options.progress = parser.isSet(QStringLiteral("progress"));
    if (parser.isSet(QStringLiteral("files-from")) && options.list.isEmpty())
        return QStringLiteral("--files-from needs a file name (or - for standard input).");
    if (options.followLinks && !options.recursive)
        return QStringLiteral("-L goes with -r.");
    if (options.nulSeparated && options.list.isEmpty())
        return QStringLiteral("-0 goes with --files-from.");
    if (options.quiet && options.progress)
        return QStringLiteral("Give either --progress or --quiet.");
    return QString();
}

// Makes the folder the results go into (-d) when it is missing and the
// folder it would be in is there, as rsync makes its destination: a
// mistyped name makes at most one stray folder, beside the one meant.
// Returns why the results cannot go there.
QString folderRefusal(const QString &folder)
{
    switch (fileKindAt(folder)) {
    case FileKind::Folder: return QString();
    case FileKind::Missing: {
        const QString above = QFileInfo(QDir::cleanPath(folder)).path();
        if (const FileKind kind = fileKindAt(above); kind != FileKind::Folder)
            return QStringLiteral("The folder \"%1\" cannot be made: \"%2\" %3.")
                .arg(readableName(folder), readableName(above),
                     kind == FileKind::Missing ? QStringLiteral("does not exist") : QStringLiteral("is not a folder"));
        if (const std::optional<Failure> failure = makeFolders(folder))
            return QStringLiteral("The folder \"%1\" cannot be made: %2.").arg(readableName(folder), failure->reason);
        return QString();
    }
    default: return QStringLiteral("\"%1\" is not a folder.").arg(readableName(folder));
    }
}

bool standardOutputIsATerminal()
{
#ifdef Q_OS_UNIX
    return ::isatty(STDOUT_FILENO);
#else
    return false;
#endif
}

// Which pictures, where their results go (-o or -d) and how many are
// converted at a time (-j); returns an error text for bad usage.
QString readRun(const QCommandLineParser &parser, Options &options)
{
    const bool output = parser.isSet(QStringLiteral("output"));
    const bool folder = parser.isSet(QStringLiteral("directory"));
    options.inputs = parser.positionalArguments();
    options.outputFile = parser.value(QStringLiteral("output"));
    options.folder = parser.value(QStringLiteral("directory"));
    options.jobs = qMax(1, QThread::idealThreadCount());
    if (parser.isSet(QStringLiteral("jobs"))) {
        bool whole = false;
        options.jobs = parser.value(QStringLiteral("jobs")).toInt(&whole);
        if (!whole || options.jobs < 1 || options.jobs > 1024)
            return QStringLiteral("-j takes a whole number from 1 to 1024.");
    }
    if (const QString error = readWalk(parser, options); !error.isEmpty())
        return error;
    if (options.inputs.isEmpty() && options.list.isEmpty())
        return QStringLiteral("No input picture given.");
    if (output == folder)
        return QStringLiteral("Give either -o OUTPUT or -d DIR.");
    if (output && (options.recursive || !options.list.isEmpty()))
        return QStringLiteral("-r and --files-from write each result into -d DIR.");
    if (output && options.inputs.size() > 1 && options.conversion.sizes.empty())
        return QStringLiteral("-o takes one input, or with --sizes several for one icon; use -d DIR for several.");
    if (output && options.outputFile.isEmpty())
        return QStringLiteral("-o needs a file name (or - for standard output).");
    if (output && namesStandardOutput(options.outputFile) && standardOutputIsATerminal())
        return QStringLiteral("An icon is not written to a terminal; send standard output to a file or a pipe "
                              "(> icon.ico), or give -o FILE.");
    if (options.inputs.count(QStringLiteral("-")) + (options.list == QLatin1String("-") ? 1 : 0) > 1)
        return QStringLiteral("Standard input (-) can be given once.");
    if (folder && options.inputs.contains(QStringLiteral("-")))
        return QStringLiteral("Standard input (-) has no name to name a result after; give -o OUTPUT for it.");
    if (folder && options.recursive)
        if (const QString refusal = recursiveFolderRefusal(options.inputs, !options.list.isEmpty(), options.folder);
            !refusal.isEmpty())
            return refusal;
    if (folder)
        return folderRefusal(options.folder);
    return QString();
}

// --list or --extract, which take icons and no conversion options; returns
// an error text for bad usage.
QString readIconReport(const QCommandLineParser &parser, Options &options)
{
    const bool list = parser.isSet(QStringLiteral("list"));
    const bool extract = parser.isSet(QStringLiteral("extract"));
    options.task = list ? Task::List : extract ? Task::Extract : Task::Convert;
    if (options.task == Task::Convert)
        return QString();
    const QString name = list ? QStringLiteral("--list") : QStringLiteral("--extract");
    for (const char *conversion : {"bmp", "mono", "sizes", "key-black", "output", "jobs", "recursive", "files-from"})
        if (parser.isSet(QString::fromLatin1(conversion)))
            return QStringLiteral("%1 takes icons only, without --bmp, --mono, --sizes, --key-black, -o or -j.").arg(name);
    if (list && extract)
        return QStringLiteral("Give either --list or --extract.");
    options.inputs = parser.positionalArguments();
    options.folder = parser.value(QStringLiteral("directory"));
    if (options.inputs.isEmpty())
        return QStringLiteral("No icon given.");
    if (options.inputs.contains(QStringLiteral("-")))
        return QStringLiteral("%1 takes icon files; standard input (-) is for converting a picture.").arg(name);
    if (list && parser.isSet(QStringLiteral("directory")))
        return QStringLiteral("--list writes nothing; -d goes with --extract.");
    if (extract && !parser.isSet(QStringLiteral("directory")))
        return QStringLiteral("--extract needs -d DIR, an existing folder.");
    if (extract)
        return folderRefusal(options.folder);
    return QString();
}

// Reads the command line into `options`; returns an error text for bad usage.
QString parse(QCommandLineParser &parser, const QStringList &arguments, Options &options)
{
    declareOptions(parser);
    QString dashError;
    const QStringList takingValues = {QStringLiteral("o"),    QStringLiteral("d"),         QStringLiteral("j"),
                                      QStringLiteral("output"), QStringLiteral("directory"), QStringLiteral("jobs"),
                                      QStringLiteral("sizes"), QStringLiteral("files-from")};
    const QStringList understood =
        withOneDashLongOptions(arguments, longOptionNames(), QStringLiteral("odjhvrLq0"), takingValues, dashError);
    if (!dashError.isEmpty())
        return dashError;
    if (!parser.parse(understood))
        return parser.errorText();
    if (asksForHelp(parser) || parser.isSet(QStringLiteral("version")))
        return QString();
    if (const QString error = readIconReport(parser, options); !error.isEmpty() || options.task != Task::Convert)
        return error;
    if (const QString error = readConversion(parser, options.conversion); !error.isEmpty())
        return error;
    return readRun(parser, options);
}

// A command-line tool's stderr is for its own one-line reports; the
// toolkit's warnings are noise there. So is the GUI application's critical
// word that it cannot make a runtime folder (run as another user, say): the
// converter never uses one.
void keepOnlySeriousMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if ((type == QtCriticalMsg || type == QtFatalMsg) && !message.startsWith(QLatin1String("QStandardPaths:")))
        printLine(messages, message);
}

void reportFailure(const QString &failure)
{
    printLine(messages, QStringLiteral("tervana-convert: ") + failure);
}

// Whether the inputs make one icon together (--sizes with -o).
bool packsIntoOne(const Options &options)
{
    return options.inputs.size() > 1 && !options.outputFile.isEmpty();
}

// How far the run has come, kept as it goes for the line an interruption
// prints; read while the run goes on, by the watch that may end it at once.
struct Advance
{
    std::atomic<size_t> done{0}; // results whole in their place, icons listed
    std::atomic<size_t> failed{0};
    std::atomic<size_t> known{0};
    std::atomic<bool> allKnown{false};
    ExtractionCounts extracted;
};
Advance advance;

// The line an interrupted run ends with; `atOnce` when it ends without
// waiting for what was under way.
QString interruptedLine(const Options &options, bool atOnce)
{
    const QString more = advance.allKnown ? QString() : QStringLiteral("+");
    switch (options.task) {
    case Task::List:
        return QStringLiteral("interrupted: %1 of %2 icons listed.").arg(advance.done).arg(options.inputs.size());
    case Task::Extract:
        return QStringLiteral("interrupted: %1 of %2%3 images written into \"%4\", each whole (they stay); %5")
            .arg(advance.extracted.written)
            .arg(advance.extracted.images)
            .arg(more, readableName(options.folder),
                 atOnce ? QStringLiteral("those under way were stopped and left nothing behind.")
                        : QStringLiteral("no further image was written."));
    case Task::Convert: break;
    }
    if (packsIntoOne(options))
        return atOnce || advance.done == 0 ? QStringLiteral("interrupted: the icon was not written, and nothing of it was left.")
                                           : QStringLiteral("interrupted: the icon was written whole.");
    return QStringLiteral("interrupted: %1 of %2%3 pictures converted, %4 failed; %5")
        .arg(advance.done)
        .arg(advance.known)
        .arg(more)
        .arg(advance.failed)
        .arg(atOnce ? QStringLiteral("those under way were stopped and left nothing behind.")
                    : QStringLiteral("no further picture was started."));
}

// Lists (--list) or extracts (--extract) each icon, until the run is
// stopped; the listing goes to standard output, what is wrong to the
// messages.
int reportIcons(const Options &options)
{
    bool allWhole = true;
    ExtractedNames names;
    for (qsizetype i = 0; i < options.inputs.size() && !stopRequested; ++i) {
        advance.allKnown = i + 1 == options.inputs.size();
        const IconReport report = options.task == Task::List
                                      ? listIconFile(options.inputs[i])
                                      : extractIcon(options.inputs[i], options.folder, names, stopRequested,
                                                    advance.extracted);
        for (const QString &line : report.lines)
            printLine(stdout, line);
        if (report.failure) {
            reportFailure(report.failure->reason);
            allWhole = false;
        }
        ++advance.done;
    }
    return allWhole ? AllConverted : SomeFailed;
}

// Several pictures made into the one icon of -o.
int packIntoOne(const Options &options)
{
    if (const QString refusal = packingRefusal(options.inputs, options.outputFile); !refusal.isEmpty()) {
        reportFailure(refusal);
        return SomeFailed;
    }
    const Converted packed = packPictures(options.conversion, options.inputs);
    if (packed.badCombination) {
        reportFailure(packed.failure);
        return BadUsage;
    }
    const QString failure = packed.failure.isEmpty() ? writeResult(packed.bytes, options.outputFile, options.inputs.first())
                                                     : packed.failure;
    if (!failure.isEmpty())
        reportFailure(failure);
    for (const QString &note : packed.notes)
        if (failure.isEmpty() && !options.quiet)
            reportFailure(note);
    advance.done = failure.isEmpty() ? 1 : 0;
    return failure.isEmpty() ? AllConverted : SomeFailed;
}

ProgressLine::Shown progressShown(const Options &options)
{
    if (options.quiet)
        return ProgressLine::Shown::Never;
#ifdef Q_OS_UNIX
    if (::isatty(::fileno(messages)))
        return ProgressLine::Shown::OnTerminal;
#endif
    return options.progress ? ProgressLine::Shown::InLines : ProgressLine::Shown::Never;
}

// Converts each picture named, listed or found to its own result: the
// failures as they come, in order; the progress and a summary on a
// terminal; what was left out.
int convertEach(const Options &options)
{
    const InputChoice choice{options.inputs, options.list,        options.nulSeparated,
                             options.recursive, options.followLinks, options.folder};
    const ProgressLine::Shown shown = progressShown(options);
    ProgressLine progress(messages, shown);
    RunReport report;
    if (!options.quiet) {
        report.failure = [&](const QString &failure) { progress.printAbove(QStringLiteral("tervana-convert: ") + failure); };
        report.note = report.failure;
    }
    report.progress = [&](const RunCounts &counts) {
        progress.update(counts);
        advance.failed = counts.failed;
        advance.known = counts.known;
        advance.allKnown = counts.allKnown;
    };
    report.resultWritten = [] { ++advance.done; };
    const RunCounts counts = convertStream(choice, {options.outputFile, resultExtension(options.conversion)},
                                           options.conversion, options.jobs, stopRequested, report);
    progress.clear();
    advance.done = counts.converted;
    if (!options.quiet && counts.skipped > 0)
        reportFailure(QStringLiteral("%1 %2 not a picture, left alone.")
                          .arg(counts.skipped)
                          .arg(counts.skipped == 1 ? QStringLiteral("file was") : QStringLiteral("files were")));
    if (shown != ProgressLine::Shown::Never && !stopRequested)
        printLine(messages, QStringLiteral("tervana-convert: ") + runSummary(counts, progress.elapsedMs()));
    return counts.failed == 0 ? AllConverted : SomeFailed;
}

// Ends the run, as it ended by itself: a stopped one with its line and the
// signal's status.
int ended(const Options &options, int status)
{
    const int signal = endingByItself();
    if (signal == 0)
        return status;
    if (!options.quiet)
        reportFailure(interruptedLine(options, false));
    return 128 + signal;
}

} // namespace

int main(int argc, char *argv[])
{
    messages = keepLibraryMessagesOffStderr();
    qInstallMessageHandler(keepOnlySeriousMessages);
    stopOnSignals();
#ifdef SIGPIPE
    // A pipe that stops reading is reported as a failed write, not a kill.
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef __GLIBC__
    // One heap for all threads: a picture's few large buffers are then
    // reused by the next picture whichever thread takes it, where a heap
    // per thread would each keep its own (a third more peak memory).
    mallopt(M_ARENA_MAX, 1);
    // Freed memory is kept for the next picture instead of going back to
    // the system and being faulted in, zeroed, again: a batch of 300 photos
    // took 56,000 page faults and a fifth of its time in them (now 5,000).
    // Blocks of 1 MB and more still come from the system and go back to
    // it, so that the peak stays what one picture needs at a time.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tervana-convert"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TERVANA_VERSION));

    QCommandLineParser parser;
    Options options;
    const QString usageError = parse(parser, argumentsFromNative(argc, argv), options);
    if (!usageError.isEmpty()) {
        printLine(messages, QStringLiteral("tervana-convert: ") + usageError);
        printLine(messages, QStringLiteral("Try 'tervana-convert --help'."));
        return BadUsage;
    }
    if (asksForHelp(parser)) {
        // Qt's first line names the program as it was started (a whole
        // path, often); the usage lines name it as it is installed.
        const QString options = parser.helpText().section(QLatin1Char('\n'), 1);
        printLine(stdout, usage + QStringLiteral("\n\n") + options.trimmed() + QStringLiteral("\n\n") + examples);
        return AllConverted;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        printLine(stdout, QStringLiteral("tervana-convert ") + QCoreApplication::applicationVersion());
        return AllConverted;
    }
    const bool onTerminal = progressShown(options) == ProgressLine::Shown::OnTerminal;
    if (!options.quiet)
        endAtOnceWhenStopping(messages, [&options, onTerminal] {
            // Over the progress line, if one is shown.
            return (onTerminal ? QByteArray("\r\033[K") : QByteArray())
                   + QStringLiteral("tervana-convert: %1").arg(interruptedLine(options, true)).toLocal8Bit();
        });
    else
        endAtOnceWhenStopping(messages, {});
    if (options.task != Task::Convert)
        return ended(options, reportIcons(options));
    const int status = ended(options, packsIntoOne(options) ? packIntoOne(options) : convertEach(options));
    // Said of a file written, after it is.
    const QString warning = formatMismatch(options.outputFile, resultExtension(options.conversion));
    if (status == AllConverted && !warning.isEmpty() && !options.quiet)
        reportFailure(warning);
    return status;
}
