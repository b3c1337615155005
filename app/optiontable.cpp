// The converter's options, declared once: the usage, the table --help
// lists, and the options written with one dash.

#include "optiontable.h"

#include "convertoptions.h"
#include "dashoptions.h"

#include <algorithm>
#include <iterator>

const QString usage = QStringLiteral(
    "Usage: tervana-convert [--bmp | --mono | --sizes LIST [--key-black]] [-j N] INPUT... (-o OUTPUT | -d DIR)\n"
    "       tervana-convert [OPTIONS] -r FOLDER... -d DIR\n"
    "       tervana-convert [OPTIONS] --files-from LIST [-0] -d DIR\n"
    "       tervana-convert --cursor [--hotspot X,Y] [--classic | --mono | --sizes LIST] INPUT... (-o OUTPUT | -d DIR)\n"
    "       tervana-convert --xcursor [--delay MS[,MS...]] [--hotspot X,Y] [--sizes LIST] INPUT... (-o OUTPUT | -d DIR)\n"
    "       tervana-convert --ani [--delay MS[,MS...]] [--title TEXT] [--author TEXT] [--hotspot X,Y] [--sizes LIST] INPUT...\n"
    "                       (-o OUTPUT | -d DIR)\n"
    "       tervana-convert --cursor-theme DIR [--delay MS[,MS...]] [--hotspot X,Y] [--sizes LIST] INPUT...\n"
    "       tervana-convert --icns INPUT... (-o OUTPUT | -d DIR)\n"
    "       tervana-convert --favicon DIR [--name NAME] [--title TEXT] [--web-path PATH] [--background COLOUR] [--key-black]\n"
    "                       INPUT...\n"
    "       tervana-convert --theme DIR --name NAME [--key-black] INPUT...\n"
    "       tervana-convert (--android DIR | --ios DIR [--ios-all] | --msix DIR [--name NAME] [--title TEXT])\n"
    "                       [--background COLOUR] [--key-black] INPUT...\n"
    "       tervana-convert --iconset DIR [--key-black] INPUT...     (or -o NAME.iconset)\n"
    "       tervana-convert --app-icons DIR [--name NAME] [--title TEXT] [--web-path PATH] [--background COLOUR]\n"
    "                       [--key-black] INPUT...\n"
    "       tervana-convert --list ICON...\n"
    "       tervana-convert --extract ICON... -d DIR");

const QString examples = QStringLiteral(
    "Examples:\n"
    "  tervana-convert photo.jpg -o photo.ico             a 32 x 32 icon, as the window saves it\n"
    "  tervana-convert --sizes all logo.png -o logo.ico   a logo's icon: 16 to 256 pixels, 32 bits with alpha\n"
    "  tervana-convert --sizes windows logo.svg -o app.ico  a drawing, from its shapes, at every size Windows asks for\n"
    "  tervana-convert --cursor --hotspot 3,2 arrow.png -o arrow.cur  a cursor of every pointer size, pointing at 3,2");

namespace {

using K = OutputKind;
// The kinds each picture is made into a file of, one or several at a time.
constexpr unsigned files = kindsOf(K::Icon, K::Bitmap, K::Cursor, K::AnimatedCursor, K::Xcursor, K::Icns);
// Those and the cursor theme, which writes each picture's Linux cursor.
constexpr unsigned converting = files | kindsOf(K::CursorTheme);
constexpr unsigned cursors = kindsOf(K::Cursor, K::AnimatedCursor, K::Xcursor, K::CursorTheme);
constexpr unsigned sets = kindsOf(K::IconTheme, K::FaviconSet, K::AppIcons, K::Android, K::Ios, K::Msix, K::Iconset);
// The sets whose images are opaque over a background colour, or name one.
constexpr unsigned backgrounds = kindsOf(K::FaviconSet, K::AppIcons, K::Android, K::Ios, K::Msix);
// The sets that name the app.
constexpr unsigned apps = kindsOf(K::FaviconSet, K::AppIcons, K::Msix);

// Every option, in the order --help lists them, and the kinds that take it.
constexpr OptionEntry table[] = {
    {nullptr, "bmp", nullptr, kindsOf(K::Bitmap), "Write the fitted square as a 24-bit bitmap."},
    {nullptr, "mono", nullptr, kindsOf(K::Icon, K::Cursor), "Write a black-and-white (1-bit) icon."},
    {"o", "output", "file", files | kindsOf(K::Iconset),
     "Write the one input's result to <file> (- for standard output). With --sizes, the inputs make one icon "
     "together."},
    {"d", "directory", "dir", files | kindsOf(K::Extraction), "Write each result into <dir>, named after its input."},
    {"j", "jobs", "n", converting | sets, "Work on <n> threads at a time: pictures converted side by side, and the sizes of an icon or a set made side by side (default: one per processor)."},
    {nullptr, "drawing-budget", "seconds", converting | sets,
     "Give each SVG drawing up to <seconds> of processor time to draw (default 1.5, at most 600); one that takes "
     "longer is refused. How fine a drawing is drawn never depends on it."},
    {nullptr, "page", "n", converting | sets,
     "Read page <n> of each PDF document (and Illustrator file), counted from 1 (default 1); a document without it "
     "is refused."},
    {nullptr, "sizes", "list", kindsOf(K::Icon) | cursors,
     "Write one icon holding an image of each size in <list> (whole numbers from 1 to 256 separated by commas; "
     "\"all\" for 16,24,32,48,64,128,256, \"windows\" for 16,20,24,32,40,48,64,96,256, \"favicon\" for 16,32,48), "
     "largest first, at 32 bits with real transparency: the picture's own, and transparent bands. The 256 image is "
     "stored as PNG. A picture exactly one size square is that size's image as it is; an icon counts as all its "
     "images; a drawing is drawn from its shapes, fine enough for every size."},
    {nullptr, "key-black", nullptr, (converting & ~kindsOf(K::Bitmap)) | sets,
     "With --sizes, and with every kind of sizes of its own (cursors, --icns, the sets): make pure black transparent "
     "too, as the window does."},
    {nullptr, "icns", nullptr, kindsOf(K::Icns),
     "Write a macOS icon family (.icns) instead of an icon, as an output named .icns does: PNG images of 16, 32, "
     "64, 128, 256, 512 and 1024 pixels in the element types of macOS 10.7 and later (icp4, icp5, ic11, ic12, "
     "ic07, ic13, ic08, ic14, ic09, ic10), each size made as with --sizes."},
    {nullptr, "favicon", "dir", kindsOf(K::FaviconSet),
     "Make <dir> a web site's icons: favicon.ico (16, 32 and 48, as --sizes 48,32,16 makes it), icon.svg (a "
     "drawing's own document), icon-192.png and icon-512.png (transparent bands, as --sizes makes them), "
     "apple-touch-icon.png (180, opaque over --background), icon-maskable-512.png (opaque over --background to every "
     "edge, the picture within the circle any mask keeps) and site.webmanifest naming them and the app (--name), "
     "starting at / and shown standalone, as a browser installs it; then print the <link> and theme-color <meta> "
     "lines for a page's head, <dir> served as the site's root. Several pictures make one set, as with --sizes. "
     "<dir> is made when the folder it would be in is there."},
    {nullptr, "background", "colour", backgrounds,
     "With --favicon, --app-icons, --android, --ios or --msix: the colour under the opaque icons (and Android's "
     "round ones), the web manifest's background and theme colour, and the background layer of Android's adaptive "
     "icon: #rrggbb or a name such as white (the default); not see-through."},
    {nullptr, "app-icons", "dir", kindsOf(K::AppIcons),
     "Write every icon a program ships into <dir>, each picture read once: windows/NAME.ico (the sizes of --sizes "
     "windows), macos/NAME.icns (as --icns), linux/hicolor/... (as --theme), web/... (as --favicon), android/res/... "
     "(as --android), ios/AppIcon.appiconset/... (as --ios) and msix/Assets/... (as --msix), each over --background "
     "where it is opaque; then print each file written, the web's <link> lines and the package's lines. NAME is "
     "--name's, else the first picture's name without its ending."},
    {nullptr, "platforms", "list", kindsOf(K::AppIcons),
     "With --app-icons: the platforms to write, separated by commas, of windows, macos, linux, web, android, ios "
     "and msix (default: all)."},
    {nullptr, "android", "dir", kindsOf(K::Android),
     "Write an Android app's launcher icons into <dir> (the module's src/main): res/mipmap-*/ic_launcher.png "
     "(48 dp at mdpi to xxxhdpi), ic_launcher_round.png (the picture on a disc of --background, clear outside), "
     "ic_launcher_foreground.png and ic_launcher_monochrome.png (the adaptive icon's 108 dp layers, the picture "
     "within the 66 dp circle every mask keeps), res/mipmap-anydpi-v26/ic_launcher.xml and ic_launcher_round.xml, "
     "res/values/ic_launcher_background.xml (--background's colour), and ic_launcher-playstore.png (512, opaque); "
     "then print each file written."},
    {nullptr, "background-picture", "file", kindsOf(K::Android, K::AppIcons),
     "With --android or --app-icons: the background layer of Android's adaptive icon, res/mipmap-*/"
     "ic_launcher_background.png, the picture's middle covering each whole, instead of --background's colour."},
    {nullptr, "ios", "dir", kindsOf(K::Ios),
     "Write an iOS app's icon into <dir>/AppIcon.appiconset (<dir> is the asset catalogue, Assets.xcassets): "
     "Contents.json and the 1024 image Xcode makes every size of, opaque over --background; then print each file "
     "written."},
    {nullptr, "ios-all", nullptr, kindsOf(K::Ios, K::AppIcons),
     "With --ios or --app-icons: iOS' older list of sizes too, each its own image (iPhone, iPad and the store's)."},
    {nullptr, "msix", "dir", kindsOf(K::Msix),
     "Write a Windows package's logos into <dir>/Assets: Square44x44Logo, Square71x71Logo, Square150x150Logo, "
     "Wide310x150Logo (the picture on --background), Square310x310Logo and StoreLogo, each .scale-100, 125, 150, "
     "200 and 400; Square44x44Logo.targetsize-16, 24, 32, 48 and 256, plated and _altform-unplated; then print "
     "the <uap:VisualElements> lines of the package manifest, the app named by --title, else --name, else the "
     "picture."},
    {nullptr, "iconset", "dir", kindsOf(K::Iconset),
     "Make <dir> a macOS .iconset folder, as an output named .iconset does: icon_16x16.png, icon_16x16@2x.png ... "
     "icon_512x512@2x.png, each size made as with --sizes, for iconutil to make an .icns of."},
    {nullptr, "theme", "dir", kindsOf(K::IconTheme),
     "Lay out the program's icon as a Linux desktop's icon theme looks it up, with <dir> as the icons folder "
     "(~/.local/share/icons, /usr/share/icons): <dir>/hicolor/SIZExSIZE/apps/NAME.png for 16, 22, 24, 32, 48, 64, "
     "128, 256 and 512, each size made as with --sizes (--key-black too); of a drawing, "
     "<dir>/hicolor/scalable/apps/NAME.svg, the drawing itself. The theme's index.theme is the system's, and none is written. "
     "Prints each file written."},
    {nullptr, "name", "name", kindsOf(K::IconTheme) | apps,
     "With --theme or --app-icons: the icon's name, as the Icon= of the program's desktop entry gives it. With "
     "--favicon or --app-icons: the app's short name in the web manifest, and its full name unless --title gives "
     "one (default: the first picture's name without its ending)."},
    {nullptr, "cursor", nullptr, kindsOf(K::Cursor),
     "Write a cursor (.cur) instead of an icon: images of 128, 96, 64, 48 and 32 pixels (or those of --sizes) at "
     "32 bits with alpha, as Windows draws pointers at each pointer size and display scaling, each pointing at the "
     "hot spot."},
    {nullptr, "hotspot", "x,y", cursors,
     "With --cursor, --ani, --xcursor or --cursor-theme: the point the cursor points with, in the first picture's pixels from its top-left "
     "corner "
     "(default: a cursor's own hot spot, or the centre of a drawing's element of id \"hotspot\", else 0,0); each "
     "size points at the same place of its picture. One applies to every picture; with several, each applies to the "
     "pictures named after it, up to the next, and the last also to those of --files-from."},
    {nullptr, "xcursor", nullptr, kindsOf(K::Xcursor),
     "Write a Linux cursor (Xcursor), as cursor themes hold one for each pointer shape, instead of an icon: images "
     "of 96, 64, 48, 32 and 24 pixels (or those of --sizes) with alpha, each pointing at the hot spot as with "
     "--cursor. Of an animation (an animated GIF or WebP, an animated cursor, an animated Xcursor), or of several "
     "pictures with --delay, an animated one, each frame shown for its time as with --ani. Named after its input "
     "without an ending under -d."},
    {nullptr, "cursor-theme", "dir", kindsOf(K::CursorTheme),
     "Make <dir> a Linux cursor theme: each picture a Linux cursor (as --xcursor makes it) in <dir>/cursors, named "
     "after the picture without its ending (left_ptr.png becomes left_ptr); a link under each other name desktops "
     "look that shape up by (left_ptr: default, arrow ...; every name Adwaita has) where nothing of that name is "
     "there; and <dir>/index.theme, when there is none, naming the theme after <dir>. Prints each file written."},
    {nullptr, "ani", nullptr, kindsOf(K::AnimatedCursor),
     "Write an animated cursor (.ani): of an animated GIF or WebP, its frames as a browser shows them, each for "
     "its own time (a frame of 10 ms or less, 0 among them, for 100 ms, as browsers show it); of an animated cursor "
     "or an animated Xcursor, its steps, each frame with all its images; or of the pictures given, one a frame, "
     "each for 100 ms. Each frame is a cursor as --cursor makes it, stored once however often it shows."},
    {nullptr, "delay", "ms", kindsOf(K::AnimatedCursor, K::Xcursor, K::CursorTheme),
     "With --ani, --xcursor or --cursor-theme: how long each frame shows, in milliseconds: one time for every frame, or one for "
     "each, separated by commas. Windows counts it in sixtieths of a second, rounded, at least one. With "
     "--xcursor, the pictures given are the frames of an animation."},
    {nullptr, "title", "text", kindsOf(K::AnimatedCursor) | apps,
     "With --ani: the animated cursor's title. With --favicon, --app-icons or --msix: the app's full name in the "
     "web manifest and the package's lines (default: --name's)."},
    {nullptr, "web-path", "path", kindsOf(K::FaviconSet, K::AppIcons),
     "With --favicon or --app-icons: the path the web set is served under, such as /static/icons (default: /, the "
     "site's root), as the printed lines link it; the manifest names its icons relative to itself."},
    {nullptr, "author", "text", kindsOf(K::AnimatedCursor), "With --ani: the animated cursor's author."},
    {nullptr, "classic", nullptr, kindsOf(K::Cursor),
     "With --cursor: the classic 32 x 32 cursor at 24 bits, pure black transparent, as the window's icon; with "
     "--mono instead, a black-and-white one."},
    {"r", "recursive", nullptr, converting,
     "Convert every picture under the folders given; with -d, the results go into the same tree of folders under "
     "DIR. Files that are not pictures are counted and left alone."},
    {"L", "follow-links", nullptr, converting, "With -r: walk links to folders too (they are left alone otherwise)."},
    {nullptr, "files-from", "file", converting,
     "Convert the pictures listed in <file> (- for standard input), one per line, as the list comes."},
    {"0", "null", nullptr, converting, "With --files-from: the names end with a NUL byte, as find -print0 writes them."},
    {nullptr, "progress", nullptr, converting, "Show the progress line even when standard error is not a terminal."},
    {"q", "quiet", nullptr, everyKind, "Say nothing, not even which pictures failed; the exit status tells."},
    {nullptr, "list", nullptr, kindsOf(K::Listing),
     "List each image of the icons or cursors given: size, bits per pixel, BMP or PNG, bytes and offset, a "
     "cursor's hot spot, and what is wrong with it; of an animated cursor, its steps (each one's frame and time) "
     "and each frame's images; of an Xcursor, each image's nominal size, size, hot spot and delay; of a macOS icon "
     "family, each element's type, size, kind, bytes and offset. Files of up to 64 MB are listed, each line as it "
     "is found, their first 65,536 elements or frames named and the others counted. A damaged file is reported in "
     "one line, its first five faults named and the others counted, and the exit status is 1."},
    {nullptr, "extract", nullptr, kindsOf(K::Extraction),
     "Write each image of the icons or cursors given into -d DIR as a PNG with alpha, named after the icon, the "
     "image's size and its bits per pixel; an animated cursor's and an Xcursor's after the file, the frame (from 1), "
     "the size and the bits per pixel. At most 65,536 images are written of one file, of up to 64 MB."},
    // Qt's own help option would offer --help-all, which shows nothing more.
    {"h", "help", nullptr, everyKind, "Show this help and exit."},
    {"v", "version", nullptr, everyKind, nullptr},
};

} // namespace

const std::vector<OptionEntry> &optionTable()
{
    static const std::vector<OptionEntry> entries(std::begin(table), std::end(table));
    return entries;
}

QStringList namesOf(const OptionEntry &entry)
{
    QStringList names;
    if (entry.letter)
        names << QLatin1String(entry.letter);
    return names << QLatin1String(entry.name);
}

QString shownOption(const OptionEntry &entry)
{
    return entry.letter ? QStringLiteral("-") + QLatin1String(entry.letter) : QStringLiteral("--") + QLatin1String(entry.name);
}

namespace {

const OptionEntry *entryNamed(const QString &name)
{
    for (const OptionEntry &entry : optionTable())
        if (namesOf(entry).contains(name))
            return &entry;
    return nullptr;
}

} // namespace

namespace {

// One option given: its entry, its value, and how many pictures are named
// before it.
struct Given
{
    const OptionEntry *entry;
    QString value;
    qsizetype picturesBefore;
};

// A long option given ("--name=value", or "--name" with its value next);
// moves `i` past its value.
Given longOption(const QStringList &arguments, qsizetype &i, qsizetype pictures)
{
    const QString &argument = arguments[i];
    const OptionEntry *entry = entryNamed(argument.mid(2).section(QLatin1Char('='), 0, 0));
    QString value;
    if (entry && entry->valueName) {
        if (argument.contains(QLatin1Char('=')))
            value = argument.section(QLatin1Char('='), 1);
        else if (i + 1 < arguments.size())
            value = arguments[++i];
    }
    return {entry, value, pictures};
}

// Letters together ("-qr"): one that takes a value takes the rest, or the
// next argument; moves `i` past it.
void letterOptions(const QStringList &arguments, qsizetype &i, qsizetype pictures, std::vector<Given> &given)
{
    const QString &argument = arguments[i];
    for (qsizetype letter = 1; letter < argument.size(); ++letter) {
        const OptionEntry *entry = entryNamed(argument.mid(letter, 1));
        if (!entry || !entry->valueName) {
            given.push_back({entry, QString(), pictures});
            continue;
        }
        const bool valueNext = letter + 1 == argument.size();
        const QString value = valueNext ? (i + 1 < arguments.size() ? arguments[i + 1] : QString()) : argument.mid(letter + 1);
        given.push_back({entry, value, pictures});
        i += valueNext ? 1 : 0;
        return;
    }
}

// Every option of `arguments` (the program's name first, as
// readOneDashOptions understood them), in the order given, each where it
// stands among the pictures.
std::vector<Given> walkOptions(const QStringList &arguments)
{
    std::vector<Given> given;
    qsizetype pictures = 0;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--"))
            break;
        if (argument.startsWith(QLatin1String("--")))
            given.push_back(longOption(arguments, i, pictures));
        else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1)
            letterOptions(arguments, i, pictures, given);
        else
            ++pictures;
    }
    return given;
}

} // namespace

std::vector<const OptionEntry *> optionsGiven(const QStringList &arguments)
{
    std::vector<const OptionEntry *> entries;
    for (const Given &option : walkOptions(arguments))
        if (option.entry && std::find(entries.begin(), entries.end(), option.entry) == entries.end())
            entries.push_back(option.entry);
    return entries;
}

std::vector<OptionPlace> placesOf(const QStringList &arguments, const char *option)
{
    std::vector<OptionPlace> places;
    for (const Given &given : walkOptions(arguments))
        if (given.entry && qstrcmp(given.entry->name, option) == 0)
            places.push_back({given.value, given.picturesBefore});
    return places;
}

void declareOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Turns pictures (JPEG, GIF, BMP, PNG, WebP, TIFF, TGA, PBM/PGM/PPM, JPEG 2000, HEIC, AVIF, PSD, ICO, CUR, ANI, Xcursor, ICNS, SVG, PDF) into "
        "32 x 32 "
        "icons, as "
        "Tervana's window does: fitted with proportions kept and centred, pure black transparent; a picture with a "
        "transparency of its own keeps it instead. For a logo or an application's icon, --sizes makes icons of "
        "several sizes at 32 bits with alpha, as desktops show them."));
    for (const OptionEntry &entry : optionTable()) {
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

std::optional<QString> readOneDashOptions(const QStringList &arguments, QStringList &understood)
{
    QStringList longNames;
    QString letters;
    QStringList takingValues;
    for (const OptionEntry &entry : optionTable()) {
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

