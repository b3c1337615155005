#pragma once

#include "conversion.h"
#include "setwriter.h"

#include <QColor>
#include <QStringList>

// The icons other platforms ship a program with, made from the same
// pictures as a Windows icon: each size from the best source (a drawing
// drawn afresh, a picture exactly that size as it is, else the smallest
// larger picture shrunk), fitted as into the window's square.

// A macOS icon family (.icns) of `inputs`: a PNG element of each type
// icnsPngTypes() names, each size encoded once.
Converted makeIcns(const ConversionOptions &options, const QStringList &inputs);

// Every icon a program ships, from one reading of its pictures (--app-icons
// DIR), each platform in a folder of its name: DIR/windows/NAME.ico (the
// sizes the Windows shell asks for), DIR/macos/NAME.icns,
// DIR/linux/hicolor/... (the icon theme folder, as --theme lays it out),
// DIR/web/... (the favicon set, as --favicon writes it), DIR/android/res/...,
// DIR/ios/AppIcon.appiconset/... and DIR/msix/Assets/... (platformsets.h).
// `request.platforms` chooses among them (all when empty); the name is
// `request.name`. What was written, in order, then the web's <link> lines
// and the package's lines (SetFiles).
SetFiles writeAppIcons(const SetRequest &request);

// The platforms' names, in the order they are written.
QStringList appIconPlatforms();
