#pragma once

#include "failure.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Writes `bytes` as the whole new content of the file at `path`: afterwards
// the file holds exactly these bytes, or, on failure, whatever it held before
// (nothing is left half-written). Returns why a write failed.
std::optional<Failure> writeFileAtomically(const QString &path, const QByteArray &bytes);

#ifdef Q_OS_UNIX
// The same for the entry `name` of the folder open as `folder`: what is
// there under that name, a link among them, is replaced, never what a link
// leads to. Failures name the file `shownPath`.
std::optional<Failure> writeFileAtomicallyAt(int folder, const QByteArray &name, const QByteArray &bytes,
                                             const QString &shownPath);
#endif

// Writes `bytes` to what `path` names without ever replacing something that
// is not a regular file: a new or regular file is written atomically, a
// device or named pipe (a terminal, /dev/null, a pipe a program reads) is
// written into, and a folder or anything else is refused.
std::optional<Failure> writeFile(const QString &path, const QByteArray &bytes);

// For a program about to end at once while other threads write: waits until
// no file is being put in its place, and holds back every one after, so that
// the end leaves no result under a passing name (a new file has no name
// until it is whole). The hold is never let go.
void holdFilesBack();
