#pragma once

#include "conversion.h"
#include "outputkind.h"
#include "setwriter.h"

#include <QString>
#include <QStringList>

#include <vector>

// Every kind of result the converter makes, one row each, as the picture
// formats are read through one table: its option, its words, its sizes and
// the function that makes it. Which options each kind takes is the option
// table's (the command line's), by kind.
struct OutputKindRow
{
    OutputKind kind;
    // The option that asks for it ("--cursor"); none for the icon, made
    // when no other kind is asked for.
    const char *option;
    // What messages call one: "the cursor of ..." ("cursor").
    const char *name;
    // What a file of it holds, in "x.png will hold a cursor"; none for the
    // kinds that are no one file.
    const char *held;
    // The file ending of a result named after its picture (".cur"; empty for
    // a Linux cursor, as themes name them); none for the kinds that are no
    // one file.
    const char *extension;
    // What it does, as the line refusing another kind's option says it.
    const char *work;
    // The sizes it has unless --sizes says otherwise; none when it has its
    // own (the window's 32 x 32, or a set's several).
    const std::vector<int> &(*sizes)();
    // How one result of the kinds that are one file is made of its pictures.
    Converted (*makeFile)(const ConversionOptions &options, const QStringList &inputs);
    // How a set is written.
    SetFiles (*writeSet)(const SetRequest &request);
    // Whether a set's files are printed as they are written: not the
    // favicon set's, whose standard output is the lines a page's head takes.
    bool listsWritten;
};

// The rows, in the order of OutputKind.
const std::vector<OutputKindRow> &outputKinds();
const OutputKindRow &rowOf(OutputKind kind);

// The kind `option` ("--cursor") asks for; nothing for an option that
// asks for none.
std::optional<OutputKind> kindNamedBy(const QString &option);

// One result of `options.kind` made of `inputs` (one picture, or several
// for one result), by its row.
Converted makeResult(const ConversionOptions &options, const QStringList &inputs);

// The result's file ending, and what messages call it.
QString resultExtension(OutputKind kind);
QString resultName(OutputKind kind);

// An -o name whose ending promises another picture format than the result
// has: the name, its ending (lower case, without the dot), and the kind of
// result. The file is written all the same: the name is the user's to
// choose.
struct FormatMismatch
{
    Operand output;
    QString ending;
    OutputKind result;
};
// The mismatch of `output` with a result of `kind`, or nothing.
std::optional<FormatMismatch> formatMismatch(const Operand &output, OutputKind kind);
