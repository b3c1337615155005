#pragma once

#include <QString>

// Why a file or a picture could not be read or written: the kind of
// failure, for a caller that acts on it, and the reason in plain words, for
// the user ("there is no such file", "it is a folder").
struct Failure
{
    enum class Kind {
        NoSuchFile,
        // The folder it is in, or would be in, does not exist.
        NoSuchFolder,
        PermissionDenied,
        NameTooLong,
        DiskFull,
        // Something is there that cannot be used: a folder, a pipe nothing
        // reads, a link that leads round in a circle.
        Unusable,
        NotAPicture,
        // A picture bigger than Tervana reads.
        TooLarge,
    };

    Kind kind = Kind::Unusable;
    QString reason;

    // The failures several places meet, in the same words everywhere.
    static Failure noSuchFile() { return {Kind::NoSuchFile, QStringLiteral("there is no such file")}; }
    static Failure noSuchFolder() { return {Kind::NoSuchFolder, QStringLiteral("its folder does not exist")}; }
    static Failure permissionDenied() { return {Kind::PermissionDenied, QStringLiteral("permission denied")}; }
    static Failure diskFull() { return {Kind::DiskFull, QStringLiteral("the disk is full")}; }
    static Failure isAFolder() { return {Kind::Unusable, QStringLiteral("it is a folder")}; }
    static Failure notARegularFile() { return {Kind::Unusable, QStringLiteral("it is not a regular file")}; }
    // A picture file that ends before its data does.
    static Failure cutShort() { return {Kind::NotAPicture, QStringLiteral("the file is cut short")}; }
};
