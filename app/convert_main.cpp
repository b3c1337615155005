// tervana-convert: Tervana's conversion for scripts and batches, without a
// window. Each picture is read, fitted into the 32 x 32 square and saved by
// the same core the window's Open and Save use, so the files are the ones
// the window writes; with --sizes, pictures make icons of several sizes
// instead. Pictures come from the command line, folders walked (-r) and
// lists (--files-from), and are converted side by side (-j); what is said
// about them, and the exit status, follow the order they come in. --list
// and --extract look inside icons. This file runs what the command line
// (convertoptions) asks for, and says how it went.

#include "batch.h"
#include "convertoptions.h"
#include "cursortheme.h"
#include "failurelines.h"
#include "iconcontents.h"
#include "interruption.h"
#include "messagestream.h"
#include "nativename.h"
#include "outputkinds.h"
#include "outputplan.h"
#include "progressline.h"
#include "stopping.h"
#include "svgrendering.h"
#include "workthreads.h"

#include <QCoreApplication>
#include <QDir>

#include <csignal>

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

enum ExitStatus { AllConverted = 0, SomeFailed = 1, BadUsage = 2 };

FILE *messages = stderr;
// -q: nothing of the run is said on the messages, whatever the task;
// what it writes on standard output (a listing, the files written, the
// link lines) stays.
bool silenced = false;

// A command-line tool's stderr is for its own one-line reports; the
// toolkit's warnings are noise there. So is the GUI application's critical
// word that it cannot make a runtime folder (run as another user, say): the
// converter never uses one.
void keepOnlySeriousMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if ((type == QtCriticalMsg || type == QtFatalMsg) && !message.startsWith(QLatin1String("QStandardPaths:")))
        printLine(messages, message);
}

// One line of the converter's own on its message stream: a failure, a
// warning, or what was left out.
void say(const QString &line)
{
    if (silenced)
        return;
    printLine(messages, QStringLiteral("tervana-convert: ") + line);
}

// Says that an index.theme an earlier version wrote into hicolor is gone.
void sayRemoved(const QStringList &removed)
{
    for (const QString &index : removed)
        say(QStringLiteral("removed \"%1\", which an earlier version of Tervana wrote: the hicolor theme's index is "
                           "the system's, and that one hid other programs' icons.")
                .arg(shownPath(index)));
}

// Says which of the site's files were left as they are.
void sayKept(const QStringList &kept)
{
    for (const QString &manifest : kept)
        say(QStringLiteral("\"%1\" is left as it is: the icons can be added only to a manifest (a JSON object) in a "
                           "file Tervana can read.")
                .arg(shownPath(manifest)));
}

// Lists (--list) or extracts (--extract) the icon at `path`: the listing,
// each line as it is made, or the files written go to standard output.
std::optional<Failure> reportIcon(const Options &options, const QString &path, ExtractedNames &names)
{
    if (options.kind() == OutputKind::Listing)
        return listIconFile(path, [](const QString &line) { printLine(stdout, line); });
    const IconReport report = extractIcon(path, options.folder, names, stopRequested, advance.extracted);
    for (const QString &line : report.lines)
        printLine(stdout, line);
    return report.failure;
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
        const std::optional<Failure> failure = reportIcon(options, options.inputs[i], names);
        if (failure) {
            say(failure->reason);
            allWhole = false;
        }
        ++advance.done;
    }
    return allWhole ? AllConverted : SomeFailed;
}

// Several pictures made into the one result of -o.
int packIntoOne(const Options &options)
{
    const Operand output = Operand::output(options.outputFile);
    if (const std::optional<RunFailure> refusal = packingRefusal(inputFilesOf(options.inputs), output)) {
        say(lineFor(*refusal));
        return SomeFailed;
    }
    const Converted packed = [&options] {
        const WorkThreads::Held working; // this thread, and as many more as -j allows
        return makeResult(options.conversion, options.inputs);
    }();
    const QString result = resultName(options.kind());
    if (packed.badCombination) {
        say(lineFor(*packed.failure, result));
        return BadUsage;
    }
    const std::optional<RunFailure> failure =
        packed.failure ? packed.failure : writeResult(packed.bytes, output, Operand::input(options.inputs.first()));
    if (failure) {
        say(lineFor(*failure, result));
        return SomeFailed;
    }
    for (const RunNote &note : packed.notes)
        say(lineFor(note));
    advance.done = 1;
    return AllConverted;
}

// Writes the set the options ask for (--theme, --favicon, --app-icons) and
// says how it went: the files written on standard output, in order, when
// the kind lists them, then the lines a page links the web's icons with;
// what went wrong, what of a drawing could not be drawn, and what was
// removed or left as it was, on the messages.
int writeSet(const Options &options)
{
    const OutputKindRow &row = rowOf(options.kind());
    const WorkThreads::Held working; // this thread, and as many more as -j allows
    const SetFiles set =
        row.writeSet({options.inputs, options.folder, options.name, options.background, options.conversion.keyBlack,
                      options.conversion.title, options.webPath, options.iosAll, options.platforms,
                      options.backgroundPicture});
    for (const QString &file : row.listsWritten ? set.written : QStringList())
        printLine(stdout, shownPath(file));
    sayRemoved(set.removed); // gone, whether the set was written whole or not
    if (set.failure) {
        say(lineFor(*set.failure, QLatin1String(row.name)));
        return set.badCombination ? BadUsage : SomeFailed;
    }
    for (const QString &line : set.links)
        printLine(stdout, line);
    for (const RunNote &note : set.notes)
        say(lineFor(note));
    sayKept(set.keptAsItIs);
    return AllConverted;
}

// Where each result goes: -d's folder, or a cursor theme's cursors/.
QString resultsFolder(const Options &options)
{
    return options.kind() == OutputKind::CursorTheme ? QDir(options.folder).filePath(QStringLiteral("cursors"))
                                                     : options.folder;
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
    const InputChoice choice{options.inputs,    options.list,        options.nulSeparated,
                             options.recursive, options.followLinks, resultsFolder(options)};
    const ProgressLine::Shown shown = progressShown(options);
    ProgressLine progress(messages, shown);
    RunReport report;
    if (!options.quiet) {
        const QString result = resultName(options.kind());
        report.failure = [&progress, result](const RunFailure &failure) {
            progress.printAbove(QStringLiteral("tervana-convert: ") + lineFor(failure, result));
        };
        report.note = [&](const RunNote &note) { progress.printAbove(QStringLiteral("tervana-convert: ") + lineFor(note)); };
    }
    report.progress = [&](const RunCounts &counts) {
        progress.update(counts);
        advance.failed = counts.failed;
        advance.known = counts.known;
        advance.allKnown = counts.allKnown;
    };
    report.resultWritten = [] { ++advance.done; };
    const bool theme = options.kind() == OutputKind::CursorTheme;
    // A theme's files are printed as they are written, as an icon theme's are.
    if (theme)
        report.written = [&progress](const Operand &cursor) { progress.printAbove(shownPath(cursor.name()), stdout); };
    const Destination destination{options.outputFile, resultExtension(options.kind()), options.folder,
                                  theme ? OwnLink(isOwnLink) : OwnLink()};
    const RunCounts counts =
        convertStream(choice, destination, options.conversion, options.jobs, stopRequested, report);
    progress.clear();
    advance.done = counts.converted;
    if (counts.skipped > 0)
        say(QStringLiteral("%1 %2 not a picture, left alone.")
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
    say(interruptedLine(options, false));
    return 128 + signal;
}

// The process set up for a converter: its messages, its signals, its heap.
void setUpProcess()
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
    // took 56,000 page faults and a fifth of its time in them (now 5,000);
    // a program's icons, made of a 1024 drawing's squares up to 4 MB each,
    // 52,000 and a quarter of its time (now 17,000). The heap grows 16 MB
    // at a time for the same reason. Blocks of 8 MB and more still come
    // from the system and go back to it, so that the peak stays what one
    // picture needs at a time.
    mallopt(M_MMAP_THRESHOLD, 8 * 1024 * 1024);
    mallopt(M_TOP_PAD, 16 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
#endif
}

// Shows the help or the version when asked for; whether it was.
bool answeredAsking(const QCommandLineParser &parser)
{
    if (asksForHelp(parser)) {
        // Qt's first line names the program as it was started (a whole
        // path, often); the usage lines name it as it is installed.
        const QString options = parser.helpText().section(QLatin1Char('\n'), 1);
        printLine(stdout, usage + QStringLiteral("\n\n") + options.trimmed() + QStringLiteral("\n\n") + examples);
        return true;
    }
    if (asksForVersion(parser)) {
        printLine(stdout, QStringLiteral("tervana-convert ") + QCoreApplication::applicationVersion());
        return true;
    }
    return false;
}

// Runs what the options ask for, to its end or until it is stopped.
int run(const Options &options)
{
    silenced = options.quiet;
    WorkThreads::setLimit(options.jobs);
    setDrawingBudget(options.drawingBudget);
    setDocumentPage(options.page);
    const bool onTerminal = progressShown(options) == ProgressLine::Shown::OnTerminal;
    if (!options.quiet)
        endAtOnceWhenStopping(messages, [&options, onTerminal] {
            // Over the progress line, if one is shown.
            return (onTerminal ? QByteArray("\r\033[K") : QByteArray())
                   + QStringLiteral("tervana-convert: %1").arg(interruptedLine(options, true)).toLocal8Bit();
        });
    else
        endAtOnceWhenStopping(messages, {});
    if (rowOf(options.kind()).writeSet)
        return ended(options, writeSet(options));
    if (!rowOf(options.kind()).makeFile)
        return ended(options, reportIcons(options));
    int status = ended(options, packsIntoOne(options) ? packIntoOne(options) : convertEach(options));
    if (options.kind() == OutputKind::CursorTheme && !stopRequested) {
        const ThemeCompletion completed = completeCursorTheme(options.folder);
        for (const QString &made : completed.made)
            printLine(stdout, shownPath(made));
        if (completed.failure) {
            say(completed.failure->reason);
            status = SomeFailed;
        }
    }
    // Said of a file written, after it is.
    const std::optional<FormatMismatch> mismatch = formatMismatch(Operand::output(options.outputFile), options.kind());
    if (status == AllConverted && mismatch)
        say(lineFor(*mismatch));
    return status;
}

// A run whose lines on standard output (a listing, the files written, the
// link lines) did not all get there, to a full disk or a closed pipe,
// failed: what it was asked for did not reach its reader.
int checkedOutput(int status)
{
    // What is still in standard output's buffer goes out now, where a
    // failure can still be told.
    const bool allOut = std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (status != AllConverted || allOut)
        return status;
    say(QStringLiteral("Tervana cannot write to standard output: not all it printed there got through."));
    return SomeFailed;
}

} // namespace

int main(int argc, char *argv[])
{
    setUpProcess();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tervana-convert"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TERVANA_VERSION));

    QCommandLineParser parser;
    Options options;
    if (const std::optional<QString> mistake = readCommandLine(parser, argumentsFromNative(argc, argv), options)) {
        printLine(messages, QStringLiteral("tervana-convert: ") + *mistake);
        printLine(messages, QStringLiteral("Try 'tervana-convert --help'."));
        return BadUsage;
    }
    if (answeredAsking(parser))
        return AllConverted;
    return checkedOutput(run(options));
}
