#pragma once

#include "vberror.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Files as a careful desktop program treats them: only regular files are
// read or replaced, a pipe or device is never waited on nor replaced by a
// plain file, and a failure says what is really wrong.

// What is at a path, following symbolic links.
enum class FileKind {
    Missing,
    Regular,
    Folder,
    // A character device or a named pipe: a terminal, /dev/null, a pipe
    // another program reads. Written into, never replaced.
    Stream,
    // A block device, a socket, or whatever else is no file to write.
    Other,
};
FileKind fileKindAt(const QString &path);

// Opens `path` for reading when it is a regular file (or a link to one),
// without ever waiting on a pipe or device. On failure `file` stays closed
// and the result says why.
VbError openRegularFile(const QString &path, QFile &file);

// Why no file can be created or replaced at `path`, looked up on disk after
// a write failed.
VbError writeFailureFor(const QString &path);

// Writes `bytes` into the stream (device or named pipe) at `path`, as far as
// it takes them. A pipe that nothing reads is refused at once.
VbError writeIntoStream(const QString &path, const QByteArray &bytes);

// Whether `a` and `b` name the same existing file, however they are
// written (links, "..", another name for the same folder).
bool isSameFile(const QString &a, const QString &b);

// Whether the process's standard output is the existing file at `path`
// (as with "> file" or "1<> file").
bool isStandardOutput(const QString &path);
