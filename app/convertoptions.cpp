#include "convertoptions.h"

#include "cursoroptions.h"

#include "dashoptions.h"
#include "fileaccess.h"
#include "folderlisting.h"
#include "iconsizes.h"
#include "nativename.h"
#include "operand.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

const QString usage = QStringLiteral(
    "Usage: tervana-convert [--bmp | --mono | --sizes LIST [--key-black]] [-j N] INPUT... (-o OUTPUT | -d DIR)\n"
    "       tervana-convert [OPTIONS] -r FOLDER... -d DIR\n"
    "       tervana-convert [OPTIONS] --files-from LIST [-0] -d DIR\n"
    "       tervana-convert --cursor [--hotspot X,Y] [--classic | --mono | --sizes LIST] INPUT... (-o OUTPUT | -d DIR)\n"
    "       tervana-convert --xcursor [--delay MS[,MS...]] [--hotspot X,Y] [--sizes LIST] INPUT... (-o OUTPUT | -d DIR)\n"
    "       tervana-convert --ani [--delay MS[,MS...]] [--title TEXT] [--author TEXT] [--hotspot X,Y] [--sizes LIST] INPUT...\n"
    "                       (-o OUTPUT | -d DIR)\n"
    "       tervana-convert --cursor-theme DIR [--delay MS[,MS...]] [--hotspot X,Y] [--sizes LIST] INPUT...\n"
    "       tervana-convert --list ICON...\n"
    "       tervana-convert --extract ICON... -d DIR");

const QString examples = QStringLiteral(
    "Examples:\n"
    "  tervana-convert photo.jpg -o photo.ico             a 32 x 32 icon, as the window saves it\n"
    "  tervana-convert --sizes all logo.png -o logo.ico   a logo's icon: 16 to 256 pixels, 32 bits with alpha\n"
    "  tervana-convert --sizes windows logo.svg -o app.ico  a drawing, from its shapes, at every size Windows asks for\n"
    "  tervana-convert --cursor --hotspot 3,2 arrow.png -o arrow.cur  a cursor of every pointer size, pointing at 3,2");

namespace {

// One option of the command line, as --help shows it.
struct OptionEntry
{
    const char *letter;      // the short name, or none
    const char *name;        // the long name
    const char *valueName;   // what its value is called, or none: it takes no value
    bool converting;         // says how to convert, which --list and --extract refuse
    const char *description; // none: Qt's own version option, in Qt's words
};

// Every option, in the order --help lists them.
constexpr OptionEntry optionTable[] = {
    {nullptr, "bmp", nullptr, true, "Write the fitted square as a 24-bit bitmap."},
    {nullptr, "mono", nullptr, true, "Write a black-and-white (1-bit) icon."},
    {"o", "output", "file", true,
     "Write the one input's result to <file> (- for standard output). With --sizes, the inputs make one icon "
     "together."},
    {"d", "directory", "dir", false, "Write each result into <dir>, named after its input."},
    {"j", "jobs", "n", true, "Convert <n> pictures at a time (default: one per processor)."},
    {nullptr, "sizes", "list", true,
     "Write one icon holding an image of each size in <list> (whole numbers from 1 to 256 separated by commas; "
     "\"all\" for 16,24,32,48,64,128,256, \"windows\" for 16,20,24,32,40,48,64,96,256, \"favicon\" for 16,32,48), "
     "largest first, at 32 bits with real transparency: the picture's own, and transparent bands. The 256 image is "
     "stored as PNG. A picture exactly one size square is that size's image as it is; an icon counts as all its "
     "images; a drawing is drawn from its shapes, fine enough for every size."},
    {nullptr, "key-black", nullptr, true,
     "With --sizes, --cursor or --xcursor: make pure black transparent too, as the window does."},
    {nullptr, "cursor", nullptr, true,
     "Write a cursor (.cur) instead of an icon: images of 128, 96, 64, 48 and 32 pixels (or those of --sizes) at "
     "32 bits with alpha, as Windows draws pointers at each pointer size and display scaling, each pointing at the "
     "hot spot."},
    {nullptr, "hotspot", "x,y", true,
     "With --cursor or --xcursor: the point the cursor points with, in the first picture's pixels from its top-left "
     "corner "
     "(default: a cursor's own hot spot, or the centre of a drawing's element of id \"hotspot\", else 0,0); each "
     "size points at the same place of its picture."},
    {nullptr, "xcursor", nullptr, true,
     "Write a Linux cursor (Xcursor), as cursor themes hold one for each pointer shape, instead of an icon: images "
     "of 96, 64, 48, 32 and 24 pixels (or those of --sizes) with alpha, each pointing at the hot spot as with "
     "--cursor. Of an animation (an animated GIF or WebP, an animated cursor, an animated Xcursor), or of several "
     "pictures with --delay, an animated one, each frame shown for its time as with --ani. Named after its input "
     "without an ending under -d."},
    {nullptr, "cursor-theme", "dir", true,
     "Make <dir> a Linux cursor theme: each picture a Linux cursor (as --xcursor makes it) in <dir>/cursors, named "
     "after the picture without its ending (left_ptr.png becomes left_ptr); a link under each other name desktops "
     "look that shape up by (left_ptr: default, arrow ...) where nothing of that name is there; and "
     "<dir>/index.theme, when there is none, naming the theme after <dir>."},
    {nullptr, "ani", nullptr, true,
     "Write an animated cursor (.ani): of an animated GIF or WebP, its frames as a browser shows them, each for "
     "its own time (a frame of 10 ms or less, 0 among them, for 100 ms, as browsers show it); of an animated cursor "
     "or an animated Xcursor, its steps, each frame with all its images; or of the pictures given, one a frame, "
     "each for 100 ms. Each frame is a cursor as --cursor makes it, stored once however often it shows."},
    {nullptr, "delay", "ms", true,
     "With --ani or --xcursor: how long each frame shows, in milliseconds: one time for every frame, or one for "
     "each, separated by commas. Windows counts it in sixtieths of a second, rounded, at least one. With "
     "--xcursor, the pictures given are the frames of an animation."},
    {nullptr, "title", "text", true, "With --ani: the animated cursor's title."},
    {nullptr, "author", "text", true, "With --ani: the animated cursor's author."},
    {nullptr, "classic", nullptr, true,
     "With --cursor: the classic 32 x 32 cursor at 24 bits, pure black transparent, as the window's icon; with "
     "--mono instead, a black-and-white one."},
    {"r", "recursive", nullptr, true,
     "Convert every picture under the folders given; with -d, the results go into the same tree of folders under "
     "DIR. Files that are not pictures are counted and left alone."},
    {"L", "follow-links", nullptr, false, "With -r: walk links to folders too (they are left alone otherwise)."},
    {nullptr, "files-from", "file", true,
     "Convert the pictures listed in <file> (- for standard input), one per line, as the list comes."},
    {"0", "null", nullptr, false, "With --files-from: the names end with a NUL byte, as find -print0 writes them."},
    {nullptr, "progress", nullptr, false, "Show the progress line even when standard error is not a terminal."},
    {"q", "quiet", nullptr, false, "Say nothing, not even which pictures failed; the exit status tells."},
    {nullptr, "list", nullptr, false,
     "List each image of the icons or cursors given: size, bits per pixel, BMP or PNG, bytes and offset, a "
     "cursor's hot spot, and what is wrong with it; of an animated cursor, its steps (each one's frame and time) "
     "and each frame's images; of an Xcursor, each image's nominal size, size, hot spot and delay. A damaged file "
     "is reported and the exit status is 1."},
    {nullptr, "extract", nullptr, false,
     "Write each image of the icons or cursors given into -d DIR as a PNG with alpha, named after the icon, the "
     "image's size and its bits per pixel; an animated cursor's and an Xcursor's after the file, the frame (from 1), "
     "the size and the bits per pixel."},
    // Qt's own help option would offer --help-all, which shows nothing more.
    {"h", "help", nullptr, false, "Show this help and exit."},
    {"v", "version", nullptr, false, nullptr},
};

QStringList namesOf(const OptionEntry &entry)
{
    QStringList names;
    if (entry.letter)
        names << QLatin1String(entry.letter);
    return names << QLatin1String(entry.name);
}

// The options, as --help shows them.
void declareOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Turns pictures (JPEG, GIF, BMP, PNG, WebP, TIFF, TGA, PBM/PGM/PPM, ICO, CUR, ANI, Xcursor, SVG) into 32 x 32 "
        "icons, as "
        "Tervana's window does: fitted with proportions kept and centred, pure black transparent; a picture with a "
        "transparency of its own keeps it instead. For a logo or an application's icon, --sizes makes icons of "
        "several sizes at 32 bits with alpha, as desktops show them."));
    for (const OptionEntry &entry : optionTable) {
        if (!entry.description)
            parser.addVersionOption();
        else if (entry.valueName)
            parser.addOption({namesOf(entry), QLatin1String(entry.description), QLatin1String(entry.valueName)});
        else
            parser.addOption({namesOf(entry), QLatin1String(entry.description)});
    }
    parser.addPositionalArgument(QStringLiteral("INPUT"), QStringLiteral("Pictures to convert (- for standard input)."),
                                 QStringLiteral("INPUT..."));
}

// Reads the options written with one dash as they are meant ("-mono").
std::optional<QString> readOneDashOptions(const QStringList &arguments, QStringList &understood)
{
    QStringList longNames;
    QString letters;
    QStringList takingValues;
    for (const OptionEntry &entry : optionTable) {
        longNames << QLatin1String(entry.name);
        if (entry.letter)
            letters += QLatin1String(entry.letter);
        if (entry.valueName)
            takingValues << namesOf(entry);
    }
    DashReading reading = withOneDashLongOptions(arguments, longNames, letters, takingValues);
    understood = std::move(reading.arguments);
    return reading.mistake;
}

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
    conversion.keyBlack = parser.isSet(QStringLiteral("key-black"));
    if (conversion.keyBlack && conversion.sizes.empty())
        return QStringLiteral("--key-black goes with --sizes, --cursor or --xcursor (the 32 x 32 icon always makes pure "
                              "black transparent).");
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

// Makes the folder the results go into (-d) when it is missing and the
// folder it would be in is there, as rsync makes its destination: a
// mistyped name makes at most one stray folder, beside the one meant.
// Returns why the results cannot go there.
std::optional<QString> folderRefusal(const QString &folder)
{
    switch (fileKindAt(folder)) {
    case FileKind::Folder: return std::nullopt;
    case FileKind::Missing: {
        const QString above = QFileInfo(QDir::cleanPath(folder)).path();
        if (const FileKind kind = fileKindAt(above); kind != FileKind::Folder)
            return QStringLiteral("The folder \"%1\" cannot be made: \"%2\" %3.")
                .arg(readableName(folder), readableName(above),
                     kind == FileKind::Missing ? QStringLiteral("does not exist") : QStringLiteral("is not a folder"));
        if (const std::optional<Failure> failure = makeFolders(folder))
            return QStringLiteral("The folder \"%1\" cannot be made: %2.").arg(readableName(folder), failure->reason);
        return std::nullopt;
    }
    default: return QStringLiteral("\"%1\" is not a folder.").arg(readableName(folder));
    }
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
    if (options.inputs.size() > 1 && options.conversion.sizes.empty())
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
    return folderRefusal(options.folder);
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
    if (options.inputs.isEmpty() && options.list.isEmpty())
        return QStringLiteral("No input picture given.");
    if (output == folder)
        return QStringLiteral("Give either -o OUTPUT or -d DIR.");
    if (output)
        if (std::optional<QString> mistake = readOutputFile(options))
            return mistake;
    if (options.inputs.count(QStringLiteral("-")) + (options.list == QLatin1String("-") ? 1 : 0) > 1)
        return QStringLiteral("Standard input (-) can be given once.");
    return folder ? readResultFolder(options) : std::nullopt;
}

// --list or --extract, which take icons and no conversion options.
std::optional<QString> readIconReport(const QCommandLineParser &parser, Options &options)
{
    const bool list = parser.isSet(QStringLiteral("list"));
    const bool extract = parser.isSet(QStringLiteral("extract"));
    options.task = list ? Task::List : extract ? Task::Extract : Task::Convert;
    if (options.task == Task::Convert)
        return std::nullopt;
    const QString name = list ? QStringLiteral("--list") : QStringLiteral("--extract");
    for (const OptionEntry &entry : optionTable)
        if (entry.converting && parser.isSet(QLatin1String(entry.name)))
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
    return extract ? folderRefusal(options.folder) : std::nullopt;
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
    if (std::optional<QString> mistake = readIconReport(parser, options); mistake || options.task != Task::Convert)
        return mistake;
    if (std::optional<QString> mistake = readConversion(parser, options.conversion))
        return mistake;
    return readRun(parser, options);
}
