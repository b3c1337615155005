#include "outputkinds.h"

#include "appicons.h"
#include "faviconset.h"
#include "iconsizes.h"
#include "icontheme.h"
#include "platformsets.h"

#include <QFileInfo>

#include <cassert>

namespace {

using K = OutputKind;

// The rows; each kind's options are the option table's.
const std::vector<OutputKindRow> &table()
{
    static const std::vector<OutputKindRow> rows = {
        {K::Icon, nullptr, "icon", "an icon", ".ico", "it writes an icon of each picture", nullptr, makeIconOrCursor,
         nullptr, false},
        {K::Bitmap, "--bmp", "icon", "a bitmap", ".bmp", "it writes the window's 32 x 32 square as a 24-bit bitmap",
         nullptr, makeIconOrCursor, nullptr, false},
        {K::Cursor, "--cursor", "cursor", "a cursor", ".cur", "it writes Windows cursors (.cur)", IconSizes::cursor,
         makeIconOrCursor, nullptr, false},
        {K::AnimatedCursor, "--ani", "animated cursor", "an animated cursor", ".ani",
         "it writes animated cursors (.ani), whose images have alpha", IconSizes::cursor, animateCursor, nullptr, false},
        {K::Xcursor, "--xcursor", "Linux cursor", "a Linux cursor", "", "it writes Linux cursors, whose images have alpha",
         IconSizes::xcursor, makeXcursor, nullptr, false},
        {K::Icns, "--icns", "macOS icon", "a macOS icon", ".icns",
         "it writes macOS icon families, which hold their own sizes, 16 to 1024", nullptr, makeIcns, nullptr, false},
        {K::CursorTheme, "--cursor-theme", "Linux cursor", nullptr, "",
         "it writes each picture's Linux cursor into DIR/cursors, whose images have alpha", IconSizes::xcursor,
         makeXcursor, nullptr, false},
        {K::IconTheme, "--theme", "icon theme", nullptr, nullptr,
         "it writes DIR/hicolor itself, a PNG of each size and the drawing", IconSizes::iconTheme, nullptr,
         writeIconTheme, true},
        {K::FaviconSet, "--favicon", "favicon set", nullptr, nullptr, "it writes its own files and sizes into DIR",
         IconSizes::favicon, nullptr, writeFaviconSet, false},
        {K::AppIcons, "--app-icons", "icons", nullptr, nullptr, "it writes every icon's own sizes into DIR",
         IconSizes::windows, nullptr, writeAppIcons, true},
        {K::Android, "--android", "Android icons", nullptr, nullptr,
         "it writes an Android app's launcher icons into DIR/res, at Android's own sizes", nullptr, nullptr,
         writeAndroidSet, true},
        {K::Ios, "--ios", "iOS icon", nullptr, nullptr, "it writes an iOS app's icon into DIR/AppIcon.appiconset, at iOS' own sizes",
         nullptr, nullptr, writeIosSet, true},
        {K::Msix, "--msix", "package logos", nullptr, nullptr,
         "it writes a Windows package's logos into DIR/Assets, at their own sizes", nullptr, nullptr, writeMsixSet, false},
        {K::Iconset, "--iconset", "iconset", nullptr, nullptr, "it writes the PNGs of a macOS .iconset folder, 16 to 1024",
         nullptr, nullptr, writeIconset, true},
        {K::Listing, "--list", "listing", nullptr, nullptr, "it lists the icons given, and writes nothing", nullptr,
         nullptr, nullptr, false},
        {K::Extraction, "--extract", "images", nullptr, nullptr, "it writes each image of the icons given into -d DIR",
         nullptr, nullptr, nullptr, false},
    };
    return rows;
}

} // namespace

const std::vector<OutputKindRow> &outputKinds()
{
    return table();
}

const OutputKindRow &rowOf(OutputKind kind)
{
    const OutputKindRow &row = table()[size_t(kind)];
    assert(row.kind == kind);
    return row;
}

std::optional<OutputKind> kindNamedBy(const QString &option)
{
    for (const OutputKindRow &row : table())
        if (row.option && option == QLatin1String(row.option))
            return row.kind;
    return std::nullopt;
}

Converted makeResult(const ConversionOptions &options, const QStringList &inputs)
{
    return rowOf(options.kind).makeFile(options, inputs);
}

QString resultExtension(OutputKind kind)
{
    return QString::fromLatin1(rowOf(kind).extension);
}

QString resultName(OutputKind kind)
{
    return QString::fromLatin1(rowOf(kind).name);
}

std::optional<FormatMismatch> formatMismatch(const Operand &output, OutputKind kind)
{
    // Only a picture format's ending promises one: another is the user's own.
    const QString ending = QFileInfo(output.name()).suffix().toLower();
    const bool bitmap = kind == OutputKind::Bitmap;
    if (output.isStandard() || !endsAsAPicture(output.name()) || QLatin1Char('.') + ending == resultExtension(kind)
        || (bitmap && ending == QLatin1String("dib")))
        return std::nullopt;
    return FormatMismatch{output, ending, kind};
}
