#pragma once

#include "failure.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Files whose names the program picks, in a folder the user gave: the
// results of -d, an icon theme, a favicon set, a cursor theme. The user
// names the folder; everything under it is the program's choice, so
// nothing there is followed. No file is written through a link, into a
// linked folder, a device, a pipe or a socket, and nothing outside the
// folder is ever written, whoever else may write in it.

// Whether the link `name` -> `target` (a plain name in the same folder),
// found where a file of the set goes, is the set's own and is replaced by
// the file: a cursor theme's other name for one of its cursors.
using OwnLink = std::function<bool(const QString &name, const QString &target)>;

// Writes `bytes` whole, or not at all, as `name` in `folder`. `name` is a
// path of plain names ("hicolor/16x16/apps/logo.png"). `folder` is made
// when it is missing and the folder it would be in is there, and so are
// the folders on the way, when the file is written: a folder made for a
// file that could not be written is removed again. A link at `name` that
// `ownLink` accepts is replaced by the file; any other link, and anything
// else that is no regular file, is left alone and refused in words that
// name it.
std::optional<Failure> writeFileInSet(const QString &folder, const QString &name, const QByteArray &bytes,
                                      const OwnLink &ownLink = {});

// Why no set can be written into `folder`: something that is not a folder
// is there, or it is missing and the folder it would be in is not there.
// Nothing is made: a run that fails before its first file leaves no folder.
std::optional<Failure> setFolderRefusal(const QString &folder);
