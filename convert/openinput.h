#pragma once

#include "conversion.h"
#include "cursorframes.h"
#include "picture.h"

#include <QBuffer>
#include <QFile>

// One input of a conversion, open for reading, and what the conversions
// share in reading it.

// One input, open for reading: the file, or what standard input ("-")
// holds; or why it cannot be read.
struct OpenInput
{
    QFile file;
    QByteArray bytes;
    QBuffer buffer{&bytes};
    Operand operand;
    std::optional<Failure> failure;

    explicit OpenInput(const Operand &input);
    QIODevice &device() { return file.isOpen() ? static_cast<QIODevice &>(file) : buffer; }
    RunFailure cannotOpen(const Failure &why) const { return {RunFailure::Step::Open, operand, std::nullopt, why}; }
    RunFailure cannotMake(Failure why) const { return {RunFailure::Step::MakeIcon, operand, std::nullopt, std::move(why)}; }
};

// The picture of the input, read for a drawing of `drawSize`.
PictureLoad loadInput(OpenInput &input, QSize drawSize, DrawDetail detail);

// What of a drawing could not be drawn, when something could not be.
std::vector<RunNote> partlyDrawn(const OpenInput &input, const PictureLoad &load);

// Why a cursor of `pictures` cannot point where it is asked: the hot spot
// given is outside the first picture; or, without one, a drawing's marker
// lies beyond what can be measured.
std::optional<Failure> hotSpotRefusal(const ConversionOptions &options, const std::vector<Picture> &pictures);

// The pictures one input gives an icon of several sizes, read with detail
// enough for the largest: an icon's or a cursor's every image, each read
// once, those of an animated cursor's first step, a macOS icon family's
// one of each size, any other file's one
// picture; or why it cannot be read. What of a drawing could not be drawn
// is added to `notes`.
std::optional<RunFailure> loadSources(OpenInput &input, int largest, std::vector<Picture> &sources,
                                      std::vector<RunNote> &notes);

// Whether `name` is a macOS .iconset folder (a trailing "/" or not), which
// is read as one picture of hand-drawn sizes: the PNGs iconutil names,
// those there (or a link there), in order.
bool isIconsetFolder(const QString &name);
QStringList iconsetMembers(const QString &folder);

// The files one input reads: an .iconset folder's pictures; a cursor
// configuration (cursorconfig.h) and the pictures it names; else the input.
// A result must never replace one of them.
QStringList filesOfInput(const QString &input);

// The cursor the xcursorgen configuration in `input` draws (cursorconfig.h),
// each picture read with detail for `largest` and pointing where its line
// says: its frames (only the first's pictures with FirstStep) and its steps;
// or why it cannot be made, naming the file that failed. What of a drawing
// could not be drawn goes into `notes`.
struct CursorConfigLoad
{
    CursorAnimation animation;
    std::optional<RunFailure> failure;
    std::vector<RunNote> notes;
};
CursorConfigLoad readCursorConfig(OpenInput &input, CursorFrames which, int largest);

// The first of `pictures` that is a drawing, which sizes are drawn from;
// none when none is.
const Picture *firstDrawing(const std::vector<Picture> &pictures);

// The pictures of all `inputs`, as above, in order; the first failure ends it.
struct SourcesLoad
{
    std::vector<Picture> sources;
    std::vector<RunNote> notes;
    std::optional<RunFailure> failure;
};
SourcesLoad loadAllSources(const QStringList &inputs, int largest);
