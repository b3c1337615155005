#pragma once

#include "conversion.h"
#include "setwriter.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A program's icon laid out as freedesktop icon themes hold it, in the
// "hicolor" theme every desktop falls back to: a PNG of each size in
// "SIZExSIZE/apps" and the drawing itself in "scalable/apps". The theme's
// index.theme is the system's (hicolor-icon-theme): desktops look the
// folders up through the first they find, and one of ours, listing only
// our folders, would hide every other program's icons. The folder written into plays the part of
// ~/.local/share/icons or /usr/share/icons, which desktops look up through
// $XDG_DATA_DIRS/icons.

// Writes the icon `request.name` of `request.inputs` (one at least) into
// `request.folder`/hicolor,
// making the folders it needs: each size from the best source, as --sizes
// makes it (a picture exactly that size square as it is; a size larger
// than every picture, the largest enlarged), the first drawing among the
// inputs as "scalable/apps/NAME.svg". Each file is written as a set's
// files are (SetWriter): whole or not at all, and none over a picture
// given, in which case none is written. An index.theme that an earlier
// version wrote into hicolor is removed, and named in `removed`.
SetFiles writeIconTheme(const SetRequest &request);
// The same of pictures read already, `picture` the first input, which
// failures name.
SetFiles writeIconThemeOf(const std::vector<Picture> &sources, const Operand &picture, SetWriter set,
                          const QString &name, bool keyBlack);
