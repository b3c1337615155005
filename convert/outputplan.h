#pragma once

#include "operand.h"
#include "runfailure.h"
#include "setfiles.h"

#include <QHash>
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
    // -d: the folder the user gave, whose files the program names (a
    // cursor theme's folder, for its cursors/), and the links in it that
    // are the set's own (a cursor theme's other names of a cursor).
    QString folder;
    OwnLink ownLink = {};

    // Where the result of `input` goes: the -o file, or in `resultFolder`
    // the input's name without its last extension, and `extension`.
    Operand outputFor(const QString &input, const QString &resultFolder) const;
};

// The pictures of a run by the file each is (filesOfInput: an .iconset's
// PNGs, a cursor configuration's pictures), the first of any that are one
// file, told once for the whole run.
using InputFiles = QHash<QString, QString>;
InputFiles inputFilesOf(const QStringList &inputs);

// Why the one icon several pictures make cannot be written to `output`: it
// is one of them. Nothing when it can.
std::optional<RunFailure> packingRefusal(const InputFiles &inputs, const Operand &output);
