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

// The sizes of the theme's folders of fixed size, smallest first.
const std::vector<int> &iconThemeSizes();

// What a theme run wrote: each file, as a path under the folder given, in
// the order written (the PNGs from the smallest, the drawing, the index);
// or, after those, the failure that ended it, `badCombination` when the
// pictures given cannot make the sizes whatever they hold. What of a
// drawing could not be drawn is in `partlyDrawn`; the files are made all
// the same. An index.theme that an earlier version wrote into hicolor is
// removed, and named in `removed`.
struct IconThemeFiles
{
    QStringList written;
    std::optional<RunFailure> failure;
    bool badCombination = false;
    std::vector<PartlyDrawn> partlyDrawn;
    QStringList removed;
};

// Writes the icon `name` of `inputs` (one at least) into `folder`/hicolor,
// making the folders it needs: each size from the best source, as --sizes
// makes it (a picture exactly that size square as it is; a size larger
// than every picture, the largest enlarged), the first drawing among the
// inputs as "scalable/apps/NAME.svg". Each file is written as a set's
// files are (SetWriter): whole or not at all, and none over a picture
// given, in which case none is written.
IconThemeFiles writeIconTheme(const QStringList &inputs, const QString &folder, const QString &name, bool keyBlack);
// The same of pictures read already, `picture` the first input, which
// failures name.
IconThemeFiles writeIconThemeOf(const std::vector<Picture> &sources, const Operand &picture, SetWriter set,
                                const QString &name, bool keyBlack);
