#pragma once

#include <QString>

// A failure as the commands report it: a classic run-time error number and
// its description ("53 File not found"). A default-constructed value means
// success, so routines can return it as their result.
struct VbError
{
    int number = 0;
    QString description;

    bool isError() const { return number != 0; }
    explicit operator bool() const { return isError(); }

    static VbError none() { return {}; }
    static VbError outOfMemory() { return {7, QStringLiteral("Out of memory")}; }
    static VbError fileNotFound() { return {53, QStringLiteral("File not found")}; }
    static VbError diskFull() { return {61, QStringLiteral("Disk full")}; }
    static VbError permissionDenied() { return {70, QStringLiteral("Permission denied")}; }
    static VbError pathFileAccess() { return {75, QStringLiteral("Path/File access error")}; }
    static VbError pathNotFound() { return {76, QStringLiteral("Path not found")}; }
    static VbError invalidPicture() { return {481, QStringLiteral("Invalid picture")}; }
    // The common dialog's code for a cancelled dialog when CancelError is set.
    static VbError cancelled() { return {32755, QStringLiteral("Cancel was selected.")}; }
};

// Chooses the run-time error that describes why a file at `path` could not be
// opened for reading (53, 76, 70 or 75), looking at what is on disk.
VbError readFailureFor(const QString &path);
// The same for a file that could not be created or replaced at `path`.
VbError writeFailureFor(const QString &path);
