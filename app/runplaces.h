#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the command line names for a run to read and write, refused before
// anything is done: the pictures given, and the folder results go into.

// Why the pictures given (and a list read from standard input, `listed`)
// cannot be read: there are none, or standard input is given twice.
std::optional<QString> picturesRefusal(const QStringList &inputs, bool listedOnStandardInput = false);

// Why the results cannot go into `folder` (-d and the folders of sets). A
// missing folder is made when its first file is written, as rsync makes
// its destination, when the folder it would be in is there: a mistyped
// name makes at most one stray folder, beside the one meant, and a run that
// fails before writing leaves none.
std::optional<QString> folderRefusal(const QString &folder);
