#pragma once

#include <QString>

// A failure as the commands report it: a classic run-time error number, its
// description ("53 File not found"), and in plain words what is really
// wrong ("it is a folder"). A default-constructed value means success, so
// routines can return it as their result.
struct VbError
{
    int number = 0;
    QString description;
    QString reason;

    bool isError() const { return number != 0; }
    explicit operator bool() const { return isError(); }
    // The plain-words reason, or the description when there is none.
    QString why() const { return reason.isEmpty() ? description : reason; }

    static VbError none() { return {}; }
    static VbError outOfMemory() { return {7, QStringLiteral("Out of memory"), {}}; }
    static VbError badFileName() { return {52, QStringLiteral("Bad file name or number"), QStringLiteral("its name is too long")}; }
    static VbError fileNotFound() { return {53, QStringLiteral("File not found"), QStringLiteral("there is no such file")}; }
    static VbError diskFull() { return {61, QStringLiteral("Disk full"), QStringLiteral("the disk is full")}; }
    static VbError permissionDenied() { return {70, QStringLiteral("Permission denied"), QStringLiteral("permission denied")}; }
    static VbError pathFileAccess(const QString &reason = QString()) { return {75, QStringLiteral("Path/File access error"), reason}; }
    static VbError pathNotFound() { return {76, QStringLiteral("Path not found"), QStringLiteral("its folder does not exist")}; }
    static VbError invalidPicture() { return {481, QStringLiteral("Invalid picture"), {}}; }
    // The common dialog's code for a cancelled dialog when CancelError is set.
    static VbError cancelled() { return {32755, QStringLiteral("Cancel was selected."), {}}; }
};
