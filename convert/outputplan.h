#pragma once

#include "operand.h"
#include "runfailure.h"

#include <QString>
#include <QStringList>

#include <optional>

// Where the results of a run go, and the refusals decided for the whole run
// before anything is written.

// Where the results of a run go: all to one file (-o), or each into its
// picture's result folder, named after the picture (-d).
struct Destination
{
    QString outputFile;
    QString extension; // of results named after their pictures

    // Where the result of `input` goes: the -o file, or in `resultFolder`
    // the input's name without its last extension, and `extension`.
    Operand outputFor(const QString &input, const QString &resultFolder) const;
};

// Why the one icon several pictures make cannot be written to `output`: it
// is one of them. Nothing when it can.
std::optional<RunFailure> packingRefusal(const QStringList &inputs, const Operand &output);

// The one-line warning for an -o name whose ending promises another format
// than `extension` (".ico" or ".bmp") gives, or nothing. The file is
// written all the same: the name is the user's to choose.
std::optional<QString> formatMismatch(const Operand &output, const QString &extension);

// Why a recursive run (-r) cannot write into `folder` (-d): it is one of the
// folders given, and other pictures are given too, whose results could
// replace pictures of that folder before its walk reaches them; nothing
// when it can. (A -d folder inside a folder walked is left out of the walk,
// and a folder given alone has its pictures known folder by folder.)
std::optional<QString> recursiveFolderRefusal(const QStringList &arguments, bool listGiven, const QString &folder);
