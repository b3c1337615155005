#pragma once

#include "operand.h"
#include "runfailure.h"
#include "square.h"

#include <QByteArray>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// What each picture is made into.
struct ConversionOptions
{
    SquareOutput output = SquareOutput::ColourIcon;
    // With --sizes: one icon of these sizes (largest first) instead.
    std::vector<int> sizes;
    bool keyBlack = false;
    // With --cursor: a cursor (.cur) of the same images, pointing at
    // `hotSpot` (in the first picture's pixels), or at a cursor picture's
    // own hot spot, or at the picture's top-left corner.
    bool cursor = false;
    std::optional<QPointF> hotSpot;
    // With --xcursor: that cursor as a Linux cursor (Xcursor) instead.
    bool xcursor = false;
    // With --ani: an animated cursor (.ani), each frame that cursor; each
    // frame shows for its own time, or for `delays` (milliseconds: one for
    // every frame, or one each).
    bool animated = false;
    std::vector<int> delays;
    // With --icns: a macOS icon family of all its sizes instead.
    bool icns = false;
    // With --title and --author: the animated cursor's own.
    QString title;
    QString author;
};

// Whether a name ends as a picture's the converter reads (.jpg, .png, .ico
// ...): what a recursive run converts, and what an output's name may
// promise.
bool endsAsAPicture(const QString &name);

// The result's file name ending: ".bmp" for a bitmap, ".cur" for a cursor,
// ".ani" for an animated one, none for a Linux cursor (as cursor themes
// name them), else ".ico".
QString resultExtension(const ConversionOptions &options);

// What the result is called in messages: "icon" (a bitmap's square is
// made as the icon's is), "cursor", "animated cursor", "Linux cursor".
QString resultName(const ConversionOptions &options);

// What of a drawing could not be drawn: the picture, and librsvg's words.
struct PartlyDrawn
{
    Operand picture;
    QString what;
};

// One picture (a file, or the picture file standard input holds) made into
// the bytes of its result, or why it cannot be; `badCombination` when the pictures given cannot make the
// result asked for, whatever they hold.
struct Converted
{
    QByteArray bytes;
    std::optional<RunFailure> failure;
    bool badCombination = false;
    // What of the pictures could not be drawn; the result is made all the
    // same.
    std::vector<PartlyDrawn> partlyDrawn;
};
Converted convertPicture(const ConversionOptions &options, const Operand &input);

// Several pictures made into one icon of `options.sizes`: the images of the
// sizes that a picture is exactly come from that picture as it is, the
// others from a drawing or the smallest larger picture (planIconSizes). An
// icon or cursor among them counts as all of its images. With one input,
// as convertPicture.
Converted packPictures(const ConversionOptions &options, const QStringList &inputs);
// An animated cursor (options.animated), or an animated Linux cursor
// (options.xcursor), of the frames of one animated GIF or WebP, as a
// browser shows them, or of an animated cursor or Xcursor, each frame with
// all its images, or of the pictures given, one a frame: each frame a
// cursor of options.sizes pointing where options say.
Converted animateCursor(const ConversionOptions &options, const QStringList &inputs);
