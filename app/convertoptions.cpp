#include "convertoptions.h"

#include "appiconsoptions.h"
#include "cursoroptions.h"
#include "faviconoptions.h"
#include "fileaccess.h"
#include "folderlisting.h"
#include "iconsizes.h"
#include "nativename.h"
#include "operand.h"
#include "optiontable.h"
#include "platformoptions.h"
#include "setfiles.h"
#include "themeoptions.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// What each picture becomes (--bmp, --mono, --sizes, --key-black, and a
// cursor's options).
std::optional<QString> readConversion(const QCommandLineParser &parser, ConversionOptions &conversion)
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
        IconSizeList parsed = parseIconSizes(parser.value(QStringLiteral("sizes")));
        if (parsed.failure)
            return parsed.failure->reason;
        conversion.sizes = std::move(parsed.sizes);
    }
    if (std::optional<QString> mistake = readCursorOptions(parser, conversion))
        return mistake;
    if (std::optional<QString> mistake = readPlatformOptions(parser, conversion))
        return mistake;
    conversion.keyBlack = parser.isSet(QStringLiteral("key-black"));
    if (conversion.keyBlack && conversion.sizes.empty() && !conversion.icns)
        return QStringLiteral("--key-black goes with --sizes, --cursor, --xcursor or --icns (the 32 x 32 icon always makes "
                              "pure black transparent).");
    return std::nullopt;
}

// Which pictures beyond those named: folders walked (-r, -L), a list
// (--files-from, -0); and what is shown (--progress, --quiet).
std::optional<QString> readWalk(const QCommandLineParser &parser, Options &options)
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
    return std::nullopt;
}

// Why the results cannot go into `folder` (-d and the folders of sets). A
// missing folder is made when its first file is written, as rsync makes
// its destination, when the folder it would be in is there: a mistyped
// name makes at most one stray folder, beside the one meant, and a run that
// fails before writing leaves none.
std::optional<QString> folderRefusal(const QString &folder)
{
    const std::optional<Failure> refusal = setFolderRefusal(folder);
    if (!refusal)
        return std::nullopt;
    if (fileKindAt(folder) == FileKind::Missing)
        return QStringLiteral("The folder \"%1\" cannot be made: %2.").arg(readableName(folder), refusal->reason);
    return refusal->reason + QLatin1Char('.');
}

// Why a recursive run (-r) cannot write into `folder` (-d): it is one of the
// folders given, and other pictures are given too, whose results could
// replace pictures of that folder before its walk reaches them. (A -d
// folder inside a folder walked is left out of the walk, and a folder given
// alone has its pictures known folder by folder.)
std::optional<QString> recursiveFolderRefusal(const QStringList &arguments, bool listGiven, const QString &folder)
{
    if (arguments.size() + (listGiven ? 1 : 0) < 2)
        return std::nullopt;
    const FileIdentity results = fileIdentity(folder);
    for (const QString &argument : arguments)
        if (results.exists && fileIdentity(argument).key == results.key)
            return QStringLiteral("-d \"%1\" is a folder given to -r with other pictures, whose results could replace "
                                  "its pictures before they are reached; give that folder alone, or another -d.")
                .arg(readableName(folder));
    return std::nullopt;
}

bool standardOutputIsATerminal()
{
#ifdef Q_OS_UNIX
    return ::isatty(STDOUT_FILENO);
#else
    return false;
#endif
}

// How many pictures are converted at a time (-j).
std::optional<QString> readJobs(const QCommandLineParser &parser, Options &options)
{
    options.jobs = qMax(1, QThread::idealThreadCount());
    if (!parser.isSet(QStringLiteral("jobs")))
        return std::nullopt;
    bool whole = false;
    options.jobs = parser.value(QStringLiteral("jobs")).toInt(&whole);
    if (!whole || options.jobs < 1 || options.jobs > 1024)
        return QStringLiteral("-j takes a whole number from 1 to 1024.");
    return std::nullopt;
}

// Where the results go: all to the one file of -o.
std::optional<QString> readOutputFile(const Options &options)
{
    if (options.recursive || !options.list.isEmpty())
        return QStringLiteral("-r and --files-from write each result into -d DIR.");
    if (options.inputs.size() > 1 && options.conversion.sizes.empty() && !options.conversion.icns)
        return QStringLiteral("-o takes one input, or with --sizes several for one icon; use -d DIR for several.");
    if (options.outputFile.isEmpty())
        return QStringLiteral("-o needs a file name (or - for standard output).");
    if (Operand::output(options.outputFile).isStandard() && standardOutputIsATerminal())
        return QStringLiteral("An icon is not written to a terminal; send standard output to a file or a pipe "
                              "(> icon.ico), or give -o FILE.");
    return std::nullopt;
}

// Where the results go: each into the folder of -d.
std::optional<QString> readResultFolder(const Options &options)
{
    if (options.inputs.contains(QStringLiteral("-")))
        return QStringLiteral("Standard input (-) has no name to name a result after; give -o OUTPUT for it.");
    if (options.recursive)
        if (std::optional<QString> refusal = recursiveFolderRefusal(options.inputs, !options.list.isEmpty(), options.folder))
            return refusal;
    // A cursor theme's cursors/ is made with its first cursor, in the
    // theme's folder, which is the one checked.
    return folderRefusal(options.themeFolder.isEmpty() ? options.folder : options.themeFolder);
}

// Which pictures, where their results go (-o or -d) and how many are
// converted at a time (-j).
std::optional<QString> readRun(const QCommandLineParser &parser, Options &options)
{
    const bool output = parser.isSet(QStringLiteral("output"));
    const bool theme = parser.isSet(QStringLiteral("cursor-theme"));
    if (theme && (output || parser.isSet(QStringLiteral("directory"))))
        return QStringLiteral("--cursor-theme writes into DIR/cursors; give no -o or -d.");
    if (theme) {
        options.themeFolder = parser.value(QStringLiteral("cursor-theme"));
        if (std::optional<QString> refusal = folderRefusal(options.themeFolder))
            return refusal;
    }
    const bool folder = theme || parser.isSet(QStringLiteral("directory"));
    options.inputs = parser.positionalArguments();
    options.outputFile = parser.value(QStringLiteral("output"));
    options.folder = theme ? QDir(options.themeFolder).filePath(QStringLiteral("cursors")) : parser.value(QStringLiteral("directory"));
    if (std::optional<QString> mistake = readJobs(parser, options))
        return mistake;
    if (std::optional<QString> mistake = readWalk(parser, options))
        return mistake;
    if (options.list.isEmpty())
        if (std::optional<QString> refusal = picturesRefusal(options.inputs))
            return refusal;
    if (output == folder)
        return QStringLiteral("Give either -o OUTPUT or -d DIR.");
    if (output)
        if (std::optional<QString> mistake = readOutputFile(options))
            return mistake;
    // Pictures named beside a list: standard input still goes once.
    if (std::optional<QString> refusal = picturesRefusal(options.inputs, options.list == QLatin1String("-")))
        if (!options.inputs.isEmpty())
            return refusal;
    return folder ? readResultFolder(options) : std::nullopt;
}

// --list or --extract: the icons, and -d for --extract.
std::optional<QString> readIconReport(const QCommandLineParser &parser, Options &options)
{
    const QString name = options.task == Task::List ? QStringLiteral("--list") : QStringLiteral("--extract");
    options.inputs = parser.positionalArguments();
    options.folder = parser.value(QStringLiteral("directory"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    if (options.inputs.isEmpty())
        return QStringLiteral("No icon given.");
    if (options.inputs.contains(QStringLiteral("-")))
        return QStringLiteral("%1 takes icon files; standard input (-) is for converting a picture.").arg(name);
    if (options.task == Task::Extract && !parser.isSet(QStringLiteral("directory")))
        return QStringLiteral("--extract needs -d DIR, an existing folder.");
    return options.task == Task::Extract ? folderRefusal(options.folder) : std::nullopt;
}

// The tasks other than converting, each named by an option of its own.
constexpr Task namedTasks[] = {Task::List, Task::Extract, Task::Favicon, Task::IconTheme, Task::AppIcons};

// The task the options ask for: that of the first option given that
// names one (the option only that task takes); else converting.
Task taskAsked(const std::vector<const OptionEntry *> &given)
{
    for (const OptionEntry *entry : given)
        for (Task task : namedTasks)
            if (entry->tasks == tasksOf(task))
                return task;
    return Task::Convert;
}

// The option that names `task`, as messages name it.
QString taskOption(Task task)
{
    switch (task) {
    case Task::List: return QStringLiteral("--list");
    case Task::Extract: return QStringLiteral("--extract");
    case Task::Favicon: return QStringLiteral("--favicon");
    case Task::IconTheme: return QStringLiteral("--theme");
    case Task::AppIcons: return QStringLiteral("--app-icons");
    case Task::Convert: break;
    }
    return QString();
}

// Why a task takes none of the options of other tasks, in its own words.
QString whatTaskDoes(Task task)
{
    switch (task) {
    case Task::List: return QStringLiteral("it lists the icons given, and writes nothing");
    case Task::Extract: return QStringLiteral("it writes each image of the icons given into -d DIR");
    case Task::Favicon: return QStringLiteral("it writes its own files and sizes into DIR");
    case Task::IconTheme: return QStringLiteral("it writes DIR/hicolor itself, a PNG of each size and the drawing");
    case Task::AppIcons: return QStringLiteral("it writes every icon's own sizes into DIR");
    case Task::Convert: break;
    }
    return QString();
}

// An option that converting does not take, and the options of the tasks
// that do: "--name goes with --theme or --app-icons".
QString goesWith(const OptionEntry &entry)
{
    QStringList tasks;
    for (Task task : namedTasks)
        if (entry.tasks & tasksOf(task))
            tasks << taskOption(task);
    const QString last = tasks.takeLast();
    return QStringLiteral("%1 goes with %2").arg(shownOption(entry), tasks.isEmpty() ? last : tasks.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last);
}

// The options given that `task` does not take, each named in the order
// given, in one line; nothing when it takes them all. Which task takes
// which option is the option table's.
std::optional<QString> optionsRefused(const std::vector<const OptionEntry *> &given, Task task)
{
    QStringList refused;
    for (const OptionEntry *entry : given)
        if (!(entry->tasks & tasksOf(task)))
            refused << (task == Task::Convert ? goesWith(*entry) : shownOption(*entry));
    if (refused.isEmpty())
        return std::nullopt;
    if (task == Task::Convert)
        return refused.join(QStringLiteral("; ")) + QLatin1Char('.');
    return QStringLiteral("%1 cannot be used with %2: %3.").arg(taskOption(task), refused.join(QStringLiteral(", ")), whatTaskDoes(task));
}

// An option of the whole run given twice with two values, which leaves
// which one is meant unsaid.
std::optional<QString> repeatedValue(const QCommandLineParser &parser, const std::vector<const OptionEntry *> &given)
{
    for (const OptionEntry *entry : given) {
        if (!entry->valueName)
            continue;
        const QStringList values = parser.values(QLatin1String(entry->name));
        for (const QString &value : values)
            if (value != values.first())
                return QStringLiteral("%1 is given twice, as \"%2\" and \"%3\"; give it once.")
                    .arg(shownOption(*entry), readableName(values.first()), readableName(value));
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> picturesRefusal(const QStringList &inputs, bool listedOnStandardInput)
{
    if (inputs.isEmpty())
        return QStringLiteral("No input picture given.");
    if (inputs.count(QStringLiteral("-")) + (listedOnStandardInput ? 1 : 0) > 1)
        return QStringLiteral("Standard input (-) can be given once.");
    return std::nullopt;
}

bool asksForHelp(const QCommandLineParser &parser)
{
    return parser.isSet(QStringLiteral("help"));
}

bool asksForVersion(const QCommandLineParser &parser)
{
    return parser.isSet(QStringLiteral("version"));
}

std::optional<QString> readCommandLine(QCommandLineParser &parser, const QStringList &arguments, Options &options)
{
    declareOptions(parser);
    QStringList understood;
    if (std::optional<QString> mistake = readOneDashOptions(arguments, understood))
        return mistake;
    if (!parser.parse(understood))
        return parser.errorText();
    if (asksForHelp(parser) || asksForVersion(parser))
        return std::nullopt;
    const std::vector<const OptionEntry *> given = optionsGiven(understood);
    options.task = taskAsked(given);
    if (std::optional<QString> refused = optionsRefused(given, options.task))
        return refused;
    if (std::optional<QString> repeated = repeatedValue(parser, given))
        return repeated;
    switch (options.task) {
    case Task::List:
    case Task::Extract: return readIconReport(parser, options);
    case Task::AppIcons: return readAppIconsOptions(parser, options, folderRefusal);
    case Task::Favicon: {
        const std::optional<QString> mistake = readFaviconOptions(parser, options);
        return mistake ? mistake : folderRefusal(options.folder);
    }
    case Task::IconTheme: return readThemeOptions(parser, options, folderRefusal);
    case Task::Convert: break;
    }
    if (std::optional<QString> mistake = readConversion(parser, options.conversion))
        return mistake;
    return readRun(parser, options);
}
