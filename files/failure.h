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

    Kind kind;
    QString reason;
};
