#include "conversion.h"

#include "animatedcursor.h"
#include "formats.h"
#include "iconset.h"
#include "iconsizes.h"
#include "openinput.h"
#include "picture.h"

#include <QFileInfo>

#include <set>

namespace {

// The window's square has the background of the classic colour scheme's
// windows in its bands: white. A picture with a transparency of its own
// keeps it in icons, with transparent bands; a bitmap, which holds none, is
// drawn over white.
constexpr QRgb bandColour = qRgb(255, 255, 255);
constexpr QRgb clearBands = qRgba(0, 0, 0, 0);

} // namespace

ConversionOptions ConversionOptions::forPicture(qsizetype named) const
{
    ConversionOptions options = *this;
    for (const HotSpotFrom &given : hotSpotsFrom)
        if (given.from <= named)
            options.hotSpot = given.point;
    return options;
}

bool endsAsAPicture(const QString &name)
{
    static const QStringList endings = pictureEndings();
    return endings.contains(QFileInfo(name).suffix().toLower());
}

bool isConvertedInFolders(const QString &name)
{
    static const QStringList endings = folderPictureEndings();
    return endings.contains(QFileInfo(name).suffix().toLower());
}

namespace {

// The window's 32 x 32 square of one picture, as an icon, a bitmap or a
// classic cursor.
Converted makeSquare(const ConversionOptions &options, const Operand &input)
{
    OpenInput opened(input);
    const PictureLoad load = loadInput(opened, QSize(Square::side, Square::side), DrawDetail::Fine);
    if (load.failure)
        return {QByteArray(), opened.cannotOpen(*load.failure), false, {}};
    if (std::optional<Failure> outside = hotSpotRefusal(options, {load.picture}))
        return {QByteArray(), RunFailure{RunFailure::Step::MakeIcon, input, std::nullopt, std::move(*outside)}, false, {}};
    const bool keepTransparency = options.output != SquareOutput::Bitmap && hasTransparency(load.picture);
    const QImage square = fitIntoSquare(load.picture, keepTransparency ? clearBands : bandColour);
    QByteArray bytes = encodeSquare(square, options.output);
    if (isCursor(options.kind)) {
        const QPointF spot = options.hotSpot ? *options.hotSpot : load.picture.hotSpot().value_or(QPointF(0, 0));
        bytes = cursorFromIcon(bytes, {pointInSquare(load.picture.size(), spot, Square::side, SquareBands::Window)});
    }
    return {bytes, std::nullopt, false, partlyDrawn(opened, load)};
}

} // namespace

Converted makeIconOrCursor(const ConversionOptions &options, const QStringList &inputs)
{
    if (options.sizes.empty() && inputs.size() == 1)
        return makeSquare(options, Operand::input(inputs.first()));
    return packPictures(options, inputs);
}

Converted makeXcursor(const ConversionOptions &options, const QStringList &inputs)
{
    return options.delays.empty() ? packPictures(options, inputs) : animateCursor(options, inputs);
}

std::optional<RunNote> enlargedNote(const std::vector<Picture> &pictures, const std::vector<SizeSource> &plan,
                                    const QStringList &inputs)
{
    std::optional<RunNote> note;
    for (const SizeSource &source : plan) {
        if (!source.enlarged)
            continue;
        if (!note)
            note = RunNote{RunNote::Kind::Enlarged, Operand::input(inputs.first()), QString(), pictures[source.picture].size(), {}};
        note->sides.push_back(source.side);
    }
    if (note)
        std::sort(note->sides.begin(), note->sides.end(), std::greater<int>());
    return note;
}

void addNote(std::vector<RunNote> &notes, RunNote note)
{
    for (RunNote &earlier : notes)
        if (note.kind == RunNote::Kind::Enlarged && earlier.kind == note.kind && earlier.picture.name() == note.picture.name()) {
            std::set<int, std::greater<int>> sides(earlier.sides.begin(), earlier.sides.end());
            sides.insert(note.sides.begin(), note.sides.end());
            earlier.sides.assign(sides.begin(), sides.end());
            return;
        }
    notes.push_back(std::move(note));
}

Converted packPictures(const ConversionOptions &options, const QStringList &inputs)
{
    // Each read once, with detail enough for the largest size; every size is
    // made from those.
    std::vector<Picture> sources;
    std::vector<RunNote> notes;
    for (const QString &name : inputs) {
        OpenInput input(Operand::input(name));
        // A Linux cursor of one animation is animated too.
        if (isXcursor(options.kind) && inputs.size() == 1 && animationSteps(input) > 1)
            return animateInput(options, input);
        if (std::optional<RunFailure> failure = loadSources(input, options.sizes.front(), sources, notes))
            return {QByteArray(), std::move(failure), false, {}};
    }
    // One file's pictures may be enlarged where they must: they are all
    // there is. Of several files given for one icon, one is missing.
    const Operand first = Operand::input(inputs.first());
    IconSizePlan plan = planIconSizes(sources, options.sizes, inputs.size() == 1);
    if (plan.failure) {
        return {QByteArray(), RunFailure{RunFailure::Step::MakeIcon, first, std::nullopt, std::move(*plan.failure)}, true, {}};
    }
    if (std::optional<Failure> outside = hotSpotRefusal(options, sources))
        return {QByteArray(), RunFailure{RunFailure::Step::MakeIcon, first, std::nullopt, std::move(*outside)}, false, {}};
    if (std::optional<RunNote> enlarged = enlargedNote(sources, plan.sources, inputs))
        addNote(notes, std::move(*enlarged));
    if (isXcursor(options.kind)) {
        const std::vector<QPoint> hotSpots = cursorHotSpots(sources, plan.sources, options.hotSpot);
        return {encodeXcursorSizes(sources, plan.sources, options.keyBlack, hotSpots), std::nullopt, false, notes};
    }
    QByteArray bytes = encodeIconSizes(sources, plan.sources, options.keyBlack);
    if (isCursor(options.kind))
        bytes = cursorFromIcon(bytes, cursorHotSpots(sources, plan.sources, options.hotSpot));
    return {bytes, std::nullopt, false, notes};
}

