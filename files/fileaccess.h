#pragma once

#include "failure.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

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
std::optional<Failure> openRegularFile(const QString &path, QFile &file);

// At most `limit` bytes of the device, from where it stands. Reading up to
// a limit this way holds only what the device gives: QIODevice::read(limit)
// would set aside the whole limit first, 64 MB for a file of 64 bytes.
QByteArray readUpTo(QIODevice &device, qint64 limit);

// Why `path` could not be opened, from the system's error number.
Failure openFailureFor(const QString &path, int errorNumber);

// Why no file can be created or replaced at `path`, looked up on disk after
// a write failed.
Failure writeFailureFor(const QString &path);

// Writes `bytes` into the stream (device or named pipe) at `path`, as far as
// it takes them. A pipe that nothing reads is refused at once.
std::optional<Failure> writeIntoStream(const QString &path, const QByteArray &bytes);

// What a path leads to, however it is written: two paths have the same
// identity when they lead to the same file (through links, "..", or another
// name for a folder or the file). An existing file is its device and inode;
// a file that is not there yet is its folder's identity and its own name.
struct FileIdentity
{
    QString key;
    bool exists = false;
};
FileIdentity fileIdentity(const QString &path);

// Where the file `file` is open on lies, every link followed, as the
// system opened it (so that a link changed after a check cannot lead a
// read elsewhere); its canonical path where the system cannot tell.
QString openedFileLocation(const QFile &file);

// The identity of the file the process's standard output is open on (as
// with "> file" or "1<> file"), when it can be told.
std::optional<QString> standardOutputIdentity();
// The same for standard input ("< file").
std::optional<QString> standardInputIdentity();
