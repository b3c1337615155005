#pragma once

#include "setwriter.h"

#include <QByteArray>
#include <QColor>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

// The PNG images of the phone and store platforms' sets, each a size and a
// look, made from the pictures as the other icons are: the picture fitted
// into a square, each square from its best source (a drawing drawn afresh,
// a picture exactly that size as it is, else the smallest larger picture
// shrunk), then laid out as the platform shows it.

// How an image shows the picture.
enum class Look {
    Fitted,     // the square, its bands transparent (as --sizes makes it)
    Opaque,     // the square over the background to every edge
    Round,      // a disc of the background, the picture in the square it holds, clear outside
    Foreground, // Android's adaptive layer: the picture within its safe circle, clear around
    Monochrome, // the foreground's shape in white, for the system to tint
    Banner,     // a wide image of the background, the picture fitted into it, centred
};

struct PlannedImage
{
    QString name; // within the set
    QSize size;
    Look look;
};

// The files of a set: the PNGs and the text files that name them.
struct SetFile
{
    QString name;
    QByteArray bytes;
};

// What making a set's images came to: the files, or why the pictures
// cannot make them.
struct MadeImages
{
    std::vector<SetFile> files;
    std::optional<Failure> failure;
    std::optional<RunNote> enlarged; // the sizes enlarged from a picture
};

// Every set's pictures are read with detail for this side, the largest of
// a macOS icon family, whatever the set: the same pictures give each set the
// same bytes, alone or among the others of --app-icons.
constexpr int setReadingSide = 1024;

// The images `plan` asks for, of `pictures` read with detail for
// setReadingSide; a drawing is drawn afresh for each side beyond it. One
// file's pictures (`inputs` names those given) may be enlarged where they
// must be.
MadeImages makePlannedImages(const std::vector<Picture> &pictures, const std::vector<PlannedImage> &plan,
                             const QStringList &inputs, const QColor &background, bool keyBlack);

// Writes `files` into `set` for `picture`: none when one of them would
// replace a picture of the run, else each in turn until one cannot be.
// What was written goes into `result`, and the failure.
void writeSetFiles(SetWriter &set, const std::vector<SetFile> &files, const Operand &picture, SetFiles &result);
