#pragma once

#include "operand.h"
#include "outputkind.h"
#include "runfailure.h"
#include "iconsizes.h"
#include "square.h"

#include <QByteArray>
#include <QPointF>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// What each picture is made into.
struct ConversionOptions
{
    OutputKind kind = OutputKind::Icon;
    // The square's pixels: a colour or black-and-white icon (--mono), or a
    // bitmap's (kind Bitmap).
    SquareOutput output = SquareOutput::ColourIcon;
    // With --sizes, or a kind's own sizes: one icon of these sizes (largest
    // first) instead of the 32 x 32.
    std::vector<int> sizes;
    bool keyBlack = false;
    // A cursor (isCursor(kind)) points at `hotSpot` (in the first
    // picture's pixels), or at a cursor picture's own hot spot, or at the
    // picture's top-left corner.
    std::optional<QPointF> hotSpot;
    // With several --hotspot, each applies to the pictures from the
    // `from`th named on (counted from 0), up to the next; forPicture() gives
    // the options of each picture, with its `hotSpot`.
    struct HotSpotFrom
    {
        qsizetype from;
        QPointF point;
    };
    std::vector<HotSpotFrom> hotSpotsFrom;
    // An animated cursor, or an animated Linux cursor: each frame shows for
    // its own time, or for `delays` (milliseconds: one for every frame, or
    // one each).
    std::vector<int> delays;
    // The animated cursor's own title and author.
    QString title;
    QString author;

    // The options of the `named`th picture named (a picture of a folder
    // walked counts as the folder; one of a list, as after every picture
    // named).
    ConversionOptions forPicture(qsizetype named) const;
};

// Whether a name ends as a picture's the converter reads (.jpg, .png, .ico
// ...): what a recursive run converts, and what an output's name may
// promise.
bool endsAsAPicture(const QString &name);
// Whether a recursive run converts the file of this name: it ends as a
// picture of a format read in folders (a PDF document is read only when
// it is named).
bool isConvertedInFolders(const QString &name);

// What a run says of a picture beside its result: what of a drawing could
// not be drawn (librsvg's words), or which sizes were enlarged from it, as
// no picture given is that large.
struct RunNote
{
    enum class Kind { PartlyDrawn, Enlarged };
    Kind kind;
    Operand picture;
    QString what;           // PartlyDrawn: librsvg's words
    QSize from;             // Enlarged: the picture's size
    std::vector<int> sides; // Enlarged: the sizes made from it, largest first
};

// The note that `plan` enlarges the picture it makes a size of, when it
// does: only one file's pictures are enlarged, so the note is of the first
// of `inputs`.
std::optional<RunNote> enlargedNote(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan,
                                    const QStringList &inputs);

// Adds `note` to `notes`: the sizes enlarged from one picture are said in
// one note, however many files of a set are made of them.
void addNote(std::vector<RunNote> &notes, RunNote note);

// One picture (a file, or the picture file standard input holds) made into
// the bytes of its result, or why it cannot be; `badCombination` when the pictures given cannot make the
// result asked for, whatever they hold.
struct Converted
{
    QByteArray bytes;
    std::optional<RunFailure> failure;
    bool badCombination = false;
    // What of the pictures could not be drawn, or was enlarged; the result
    // is made all the same.
    std::vector<RunNote> notes;
};

// The makers of the kinds that are one file, each a row's (outputkinds.h).

// An icon, a bitmap or a cursor: of one picture without sizes, the
// window's 32 x 32 square (a bitmap's, a classic cursor's); else one of
// `options.sizes`, as packPictures makes it.
Converted makeIconOrCursor(const ConversionOptions &options, const QStringList &inputs);

// Several pictures made into one icon, cursor or Linux cursor of
// `options.sizes`: the images of the sizes that a picture is exactly come
// from that picture as it is, the others from a drawing or the smallest
// larger picture (planIconSizes). An icon or cursor among them counts as
// all of its images. A Linux cursor of one animation is animated too.
Converted packPictures(const ConversionOptions &options, const QStringList &inputs);

// A Linux cursor: animated, of the pictures given as its frames, when
// `options.delays` are given; else as packPictures makes it.
Converted makeXcursor(const ConversionOptions &options, const QStringList &inputs);

// An animated cursor, or an animated Linux cursor (isXcursor(kind)), of the
// frames of one animated GIF or WebP, as a
// browser shows them, or of an animated cursor or Xcursor, each frame with
// all its images, or of the pictures given, one a frame: each frame a
// cursor of options.sizes pointing where options say.
Converted animateCursor(const ConversionOptions &options, const QStringList &inputs);
