#include "convertoptions.h"

#include "cursoroptions.h"
#include "fileaccess.h"
#include "folderlisting.h"
#include "iconsizes.h"
#include "nativename.h"
#include "operand.h"
#include "optiontable.h"
#include "outputkinds.h"
#include "runplaces.h"
#include "setfiles.h"
#include "setoptions.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// What each picture becomes: its kind's square (--mono), its sizes
// (--sizes, --key-black) and a cursor's options.
std::optional<QString> readConversion(const QCommandLineParser &parser, const std::vector<OptionPlace> &hotSpots,
                                      ConversionOptions &conversion)
{
    const bool mono = parser.isSet(QStringLiteral("mono"));
    conversion.output = conversion.kind == OutputKind::Bitmap ? SquareOutput::Bitmap
                        : mono                                ? SquareOutput::BlackAndWhiteIcon
                                                              : SquareOutput::ColourIcon;
    if (parser.isSet(QStringLiteral("sizes"))) {
        if (mono)
            return QStringLiteral("--sizes cannot be used with --mono.");
        IconSizeList parsed = parseIconSizes(parser.value(QStringLiteral("sizes")));
        if (parsed.failure)
            return parsed.failure->reason;
        conversion.sizes = std::move(parsed.sizes);
    }
    if (std::optional<QString> mistake = readCursorOptions(parser, hotSpots, conversion))
        return mistake;
    conversion.keyBlack = parser.isSet(QStringLiteral("key-black"));
    if (conversion.keyBlack && conversion.sizes.empty() && conversion.kind == OutputKind::Cursor)
        return QStringLiteral("--key-black cannot be used with --classic or --mono: the 32 x 32 cursor makes pure black "
                              "transparent already.");
    if (conversion.keyBlack && conversion.sizes.empty() && conversion.kind != OutputKind::Icns)
        return QStringLiteral("--key-black goes with --sizes, and with the kinds of sizes of their own (the 32 x 32 icon "
                              "always makes pure black transparent).");
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

// The processor time each drawing may take (--drawing-budget), in
// seconds, decimals allowed.
std::optional<QString> readDrawingBudget(const QCommandLineParser &parser, Options &options)
{
    if (!parser.isSet(QStringLiteral("drawing-budget")))
        return std::nullopt;
    bool number = false;
    const double seconds = parser.value(QStringLiteral("drawing-budget")).toDouble(&number);
    if (!number || !(seconds >= 0.1 && seconds <= 600))
        return QStringLiteral("--drawing-budget takes a number of seconds from 0.1 to 600.");
    options.drawingBudget = std::chrono::milliseconds(qRound64(seconds * 1000));
    return std::nullopt;
}

// The page of each PDF document read (--page), counted from 1.
std::optional<QString> readPage(const QCommandLineParser &parser, Options &options)
{
    if (!parser.isSet(QStringLiteral("page")))
        return std::nullopt;
    bool whole = false;
    options.page = parser.value(QStringLiteral("page")).toInt(&whole);
    if (!whole || options.page < 1 || options.page > 1'000'000)
        return QStringLiteral("--page takes a whole number from 1 to 1000000.");
    return std::nullopt;
}

// Where the results go: all to the one file of -o.
std::optional<QString> readOutputFile(const Options &options)
{
    if (options.recursive || !options.list.isEmpty())
        return QStringLiteral("-r and --files-from write each result into -d DIR.");
    if (options.inputs.size() > 1 && options.conversion.sizes.empty() && options.kind() != OutputKind::Icns)
        return QStringLiteral("-o takes one input, or with --sizes several for one icon; use -d DIR for several.");
    if (options.outputFile.isEmpty())
        return QStringLiteral("-o needs a file name (or - for standard output).");
    if (!options.conversion.hotSpotsFrom.empty())
        return QStringLiteral("Several --hotspot go with pictures made each into a cursor of its own (-d DIR); one "
                              "made of several pictures points with one.");
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
    return folderRefusal(options.folder);
}

// Which pictures, where their results go (-o, -d, or a cursor theme's
// folder) and how many are converted at a time (-j).
std::optional<QString> readRun(const QCommandLineParser &parser, Options &options)
{
    const bool output = parser.isSet(QStringLiteral("output"));
    const bool theme = options.kind() == OutputKind::CursorTheme;
    const bool folder = theme || parser.isSet(QStringLiteral("directory"));
    options.inputs = parser.positionalArguments();
    options.outputFile = parser.value(QStringLiteral("output"));
    options.folder = parser.value(theme ? QStringLiteral("cursor-theme") : QStringLiteral("directory"));
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
    const QString name = QLatin1String(rowOf(options.kind()).option);
    options.inputs = parser.positionalArguments();
    options.folder = parser.value(QStringLiteral("directory"));
    if (options.inputs.isEmpty())
        return QStringLiteral("No icon given.");
    if (options.inputs.contains(QStringLiteral("-")))
        return QStringLiteral("%1 takes icon files; standard input (-) is for converting a picture.").arg(name);
    if (options.kind() == OutputKind::Extraction && !parser.isSet(QStringLiteral("directory")))
        return QStringLiteral("--extract needs -d DIR, an existing folder.");
    return options.kind() == OutputKind::Extraction ? folderRefusal(options.folder) : std::nullopt;
}

// The kind the options ask for: that of the first option given that names
// one (--cursor, --theme ...). Else an icon, or, of an output named .icns
// or .iconset and no other icon asked for (--mono, --sizes), a macOS icon
// family or the folder of its PNGs.
OutputKind kindAsked(const QCommandLineParser &parser, const std::vector<const OptionEntry *> &given)
{
    for (const OptionEntry *entry : given)
        if (const std::optional<OutputKind> kind = kindNamedBy(shownOption(*entry)))
            return *kind;
    if (parser.isSet(QStringLiteral("mono")) || parser.isSet(QStringLiteral("sizes")) || !parser.isSet(QStringLiteral("output")))
        return OutputKind::Icon;
    const QString ending = QFileInfo(parser.value(QStringLiteral("output"))).suffix();
    if (ending.compare(QLatin1String("icns"), Qt::CaseInsensitive) == 0)
        return OutputKind::Icns;
    return ending.compare(QLatin1String("iconset"), Qt::CaseInsensitive) == 0 ? OutputKind::Iconset : OutputKind::Icon;
}

// Names joined as a sentence lists them: "a", "a or b", "a, b or c".
QString joinedWithOr(QStringList names)
{
    const QString last = names.takeLast();
    return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// An option the icon does not take, and the kinds that do, named by their
// options: "--name goes with --theme or --app-icons".
QString goesWith(const OptionEntry &entry)
{
    QStringList kinds;
    for (const OutputKindRow &row : outputKinds())
        if (row.option && (entry.kinds & kindsOf(row.kind)))
            kinds << QLatin1String(row.option);
    return QStringLiteral("%1 goes with %2").arg(shownOption(entry), joinedWithOr(kinds));
}

// What asked for `kind`, as messages name it: its option, or an output
// named .icns or .iconset, which ask for their kinds without one.
QString kindAskedBy(OutputKind kind, const std::vector<const OptionEntry *> &given)
{
    const QString option = QLatin1String(rowOf(kind).option);
    for (const OptionEntry *entry : given)
        if (shownOption(*entry) == option)
            return option;
    return kind == OutputKind::Iconset ? QStringLiteral("An output named .iconset") : QStringLiteral("An output named .icns");
}

// The options given that `kind` does not take, each named in the order
// given, in one line; nothing when it takes them all. Which kind takes
// which option is the option table's. Options that ask for other kinds
// are refused as one kind too many.
std::optional<QString> optionsRefused(const std::vector<const OptionEntry *> &given, OutputKind kind)
{
    const OutputKindRow &row = rowOf(kind);
    QStringList refused;
    bool otherKindsOnly = true;
    for (const OptionEntry *entry : given)
        if (!(entry->kinds & kindsOf(kind))) {
            refused << (row.option ? shownOption(*entry) : goesWith(*entry));
            otherKindsOnly = otherKindsOnly && kindNamedBy(shownOption(*entry));
        }
    if (refused.isEmpty())
        return std::nullopt;
    if (!row.option)
        return refused.join(QStringLiteral("; ")) + QLatin1Char('.');
    return QStringLiteral("%1 cannot be used with %2: %3.")
        .arg(kindAskedBy(kind, given), joinedWithOr(refused),
             otherKindsOnly ? QStringLiteral("give one kind of result") : QLatin1String(row.work));
}

// An option of the whole run given twice with two values, which leaves
// which one is meant unsaid.
std::optional<QString> repeatedValue(const QCommandLineParser &parser, const std::vector<const OptionEntry *> &given)
{
    for (const OptionEntry *entry : given) {
        // Several hot spots each apply to the pictures after them.
        if (!entry->valueName || qstrcmp(entry->name, "hotspot") == 0)
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
    options.conversion.kind = kindAsked(parser, given);
    if (std::optional<QString> refused = optionsRefused(given, options.kind()))
        return refused;
    if (std::optional<QString> repeated = repeatedValue(parser, given))
        return repeated;
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    if (std::optional<QString> mistake = readJobs(parser, options))
        return mistake;
    if (std::optional<QString> mistake = readDrawingBudget(parser, options))
        return mistake;
    if (std::optional<QString> mistake = readPage(parser, options))
        return mistake;
    if (rowOf(options.kind()).writeSet)
        return readSetOptions(parser, options);
    if (!rowOf(options.kind()).makeFile)
        return readIconReport(parser, options);
    if (std::optional<QString> mistake = readConversion(parser, placesOf(understood, "hotspot"), options.conversion))
        return mistake;
    return readRun(parser, options);
}
