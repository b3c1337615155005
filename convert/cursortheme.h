#pragma once

#include "failure.h"

#include <QString>
#include <QStringList>

#include <optional>

// A Linux cursor theme laid out in a folder: "index.theme", which names the
// theme, and "cursors/", which holds a cursor (an Xcursor file) for each
// pointer shape under each of the names desktops and toolkits look it up
// by. The cursors themselves are the converter's (--xcursor, named after
// each picture); this adds the rest.

// The other names of the shape `name` is one name of ("left_ptr": "default",
// "arrow", "top_left_arrow", "left-arrow"); none for a name not known.
QStringList cursorAliases(const QString &name);

// Whether a link `name` -> `target` in a theme's cursors/ is the theme's
// own: two names of one shape. Writing a cursor of that name replaces it.
bool isOwnLink(const QString &name, const QString &target);

// Completes the theme in `folder`, when "cursors/" (a folder, not a link)
// holds a cursor: its "index.theme" when there is none, and for each shape
// a cursor is given for, a link under each of its names where nothing of
// that name is there yet, to the first of its names given in the shape's
// order (a link to another cursor of the same shape, or a file of the
// user's, stays as it is). Says what it made, in order, and why it could
// not go on, in words of a whole message.
struct ThemeCompletion
{
    QStringList made;
    std::optional<Failure> failure;
};
ThemeCompletion completeCursorTheme(const QString &folder);
