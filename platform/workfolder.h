#pragma once

#include <QString>

// Where the program keeps its work files: its own folder, as the platform
// reports it, or, when that folder cannot be written (an installed program
// often lives in a read-only folder), the user's application data folder.
// Returns the folder joined with `name` by the platform's separator.
QString workFilePath(const QString &programFolder, const QString &name);
