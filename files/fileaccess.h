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

// A key for the existing file `path` leads to, the same however the path is
// written (links, "..", another name for the same folder), so that many
// paths are told apart by one look each; empty when nothing is there.
QString existingFileKey(const QString &path);

// The key of the file the process's standard output is open on (as with
// "> file" or "1<> file"), or empty.
QString standardOutputKey();
