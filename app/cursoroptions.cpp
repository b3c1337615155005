#include "cursoroptions.h"

#include "outputkinds.h"

#include <vector>

namespace {

// A point given as "x,y": two whole numbers of pixels.
std::optional<QPointF> pointOf(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 2)
        return std::nullopt;
    bool wholeX = false;
    bool wholeY = false;
    const int x = parts[0].trimmed().toInt(&wholeX);
    const int y = parts[1].trimmed().toInt(&wholeY);
    if (!wholeX || !wholeY || x < 0 || y < 0 || x > 65535 || y > 65535)
        return std::nullopt;
    return QPointF(x, y);
}

// Times given as "100" or "100,50,200": whole numbers of milliseconds from
// 1 to 60,000; nothing when one is not.
std::optional<std::vector<int>> delaysOf(const QString &text)
{
    std::vector<int> delays;
    for (const QString &item : text.split(QLatin1Char(','))) {
        bool whole = false;
        const int delay = item.trimmed().toInt(&whole);
        if (!whole || delay < 1 || delay > 60'000)
            return std::nullopt;
        delays.push_back(delay);
    }
    return delays;
}

// How long the frames show (--delay), and an animated cursor's title and
// author (--title, --author).
std::optional<QString> readAnimation(const QCommandLineParser &parser, ConversionOptions &conversion)
{
    conversion.title = parser.value(QStringLiteral("title"));
    conversion.author = parser.value(QStringLiteral("author"));
    if (!parser.isSet(QStringLiteral("delay")))
        return std::nullopt;
    std::optional<std::vector<int>> delays = delaysOf(parser.value(QStringLiteral("delay")));
    if (!delays)
        return QStringLiteral("--delay takes whole numbers of milliseconds from 1 to 60000, separated by commas.");
    conversion.delays = std::move(*delays);
    return std::nullopt;
}

// The hot spots given: one applies to every picture; several each to the
// pictures named after it, up to the next, and the last also to those of a
// list (`listed`).
std::optional<QString> readHotSpots(const std::vector<OptionPlace> &places, qsizetype pictures, bool listed,
                                    ConversionOptions &conversion)
{
    for (const OptionPlace &place : places) {
        const std::optional<QPointF> point = pointOf(place.value);
        if (!point)
            return QStringLiteral("--hotspot takes x,y: two whole numbers of pixels from the picture's top-left corner "
                                  "(0,0).");
        if (places.size() > 1 && place.picturesBefore >= pictures && !listed)
            return QStringLiteral("--hotspot %1 comes after the last picture; of several, each applies to the pictures "
                                  "after it.")
                .arg(place.value);
        if (!conversion.hotSpotsFrom.empty() && conversion.hotSpotsFrom.back().from == place.picturesBefore)
            return QStringLiteral("--hotspot %1 and --hotspot %2 come before the same picture; give one.")
                .arg(places[conversion.hotSpotsFrom.size() - 1].value, place.value);
        conversion.hotSpotsFrom.push_back({place.picturesBefore, *point});
    }
    if (places.size() == 1) {
        conversion.hotSpot = conversion.hotSpotsFrom.front().point;
        conversion.hotSpotsFrom.clear();
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> readCursorOptions(const QCommandLineParser &parser, const std::vector<OptionPlace> &hotSpots,
                                         ConversionOptions &conversion)
{
    if (std::optional<QString> mistake = readAnimation(parser, conversion))
        return mistake;
    if (!isCursor(conversion.kind))
        return std::nullopt;
    const bool classic = parser.isSet(QStringLiteral("classic"));
    if (classic && (!conversion.sizes.empty() || conversion.output == SquareOutput::BlackAndWhiteIcon))
        return QStringLiteral("--classic cannot be used with --sizes or --mono.");
    if (std::optional<QString> mistake = readHotSpots(hotSpots, parser.positionalArguments().size(),
                                                      parser.isSet(QStringLiteral("files-from")), conversion))
        return mistake;
    if (!classic && conversion.output == SquareOutput::ColourIcon && conversion.sizes.empty())
        conversion.sizes = rowOf(conversion.kind).sizes();
    return std::nullopt;
}
