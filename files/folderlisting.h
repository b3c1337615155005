#pragma once

#include "failure.h"

#include <QString>

#include <optional>
#include <vector>

// What a folder holds, by the exact bytes of each name (see nativename.h).

struct FolderEntry
{
    enum class Kind {
        File,         // a regular file, or a link to one
        Folder,       // a folder
        LinkToFolder, // a symbolic link that leads to a folder
        Other,        // a device, pipe, socket or broken link: never a picture
    };
    QString name;
    Kind kind = Kind::Other;
};

// The entries of `folder` but "." and "..", sorted by the bytes of their
// names so that a run goes through them in the same order every time; or
// why the folder cannot be read.
std::optional<Failure> listFolder(const QString &folder, std::vector<FolderEntry> &entries);

// Makes `folder` and the folders above it that are missing, as mkdir -p
// does; returns why it could not.
std::optional<Failure> makeFolders(const QString &folder);

// Where a path leads, spelled one way whatever way it is written: the real
// path of its longest part that exists (links and ".." resolved), and the
// rest as written. It stays the same once the missing part is made, so
// that results can be told apart before and after their folder exists.
QString canonicalLocation(const QString &path);
