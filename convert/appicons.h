#pragma once

#include "conversion.h"

#include <QColor>
#include <QStringList>

// The icons other platforms ship a program with, made from the same
// pictures as a Windows icon: each size from the best source (a drawing
// drawn afresh, a picture exactly that size as it is, else the smallest
// larger picture shrunk), fitted as into the window's square.

// The sizes of a macOS icon family: 16 to 1024, largest first.
const std::vector<int> &icnsSizes();

// A macOS icon family (.icns) of `inputs`: a PNG element of each type
// icnsPngTypes() names, each size encoded once.
Converted makeIcns(const ConversionOptions &options, const QStringList &inputs);

// Every icon a program ships, from one reading of its pictures (--app-icons
// DIR): DIR/windows/NAME.ico (the sizes the Windows shell asks for),
// DIR/macos/NAME.icns, DIR/linux/hicolor/... (the icon theme folder, as
// --theme lays it out) and DIR/web/... (the favicon set, as --favicon
// writes it).
struct AppIconsRequest
{
    QStringList inputs;
    QString folder;
    QString name;
    std::optional<QColor> background; // none given: white, and the manifest's own colours kept
    bool keyBlack = false;
};

// What was written, in order; the web's <link> lines; what of a drawing
// could not be drawn; or the failure that ended it (`badCombination` when
// the pictures cannot make the sizes, whatever they hold).
struct AppIconFiles
{
    QStringList written;
    QStringList links;
    std::vector<PartlyDrawn> notes;
    std::optional<RunFailure> failure;
    bool badCombination = false;
    QStringList removed;    // an earlier version's hicolor/index.theme (IconThemeFiles)
    QStringList keptAsItIs; // the site's manifest, when it is none (FaviconSet)
};
AppIconFiles writeAppIcons(const AppIconsRequest &request);
