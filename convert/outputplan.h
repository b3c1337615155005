#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Where the result of each picture goes, decided for the whole run before
// anything is written.

// "-" names standard output.
bool namesStandardOutput(const QString &output);
// The file an existing input is (standard input: the file it is open on),
// told apart from others whatever name leads to it; nothing when there is
// no such file.
std::optional<QString> identityOfInput(const QString &input);
// The same for an existing output (standard output: the file it is open on).
std::optional<QString> identityOfOutput(const QString &output);
// An output as messages name it: its native path, or "standard output".
QString shownOutput(const QString &output);
// An input as messages name it: its native path, or "standard input".
QString shownInput(const QString &input);

struct OutputPlan
{
    // The file each picture's result is written to.
    QStringList outputs;
    // Why each picture is not converted at all (empty when it is): its
    // result would replace one of the pictures, or the result of an earlier
    // picture of the run (two pictures of one name, or names that lead to
    // one file).
    std::vector<QString> refusals;
};

// The result of `input` in `folder` (-d): its name without its last
// extension, and `extension`.
QString derivedOutput(const QString &input, const QString &folder, const QString &extension);

// With `outputFile` (-o) every result goes there; otherwise each goes into
// `folder` (-d), named after its picture with `extension`.
OutputPlan planOutputs(const QStringList &inputs, const QString &outputFile, const QString &folder,
                       const QString &extension);

// Why the one icon several pictures make cannot be written to `output`: it
// is one of them. Empty when it can.
QString packingRefusal(const QStringList &inputs, const QString &output);

// The one-line warning for an -o name whose ending promises another format
// than `extension` (".ico" or ".bmp") gives, or nothing. The file is
// written all the same: the name is the user's to choose.
QString formatMismatch(const QString &output, const QString &extension);

// Why a recursive run (-r) cannot write into `folder` (-d): it is one of the
// folders given, and other pictures are given too, whose results could
// replace pictures of that folder before its walk reaches them; nothing
// when it can. (A -d folder inside a folder walked is left out of the walk, and
// a folder given alone has its pictures known folder by folder.)
std::optional<QString> recursiveFolderRefusal(const QStringList &arguments, bool listGiven, const QString &folder);
