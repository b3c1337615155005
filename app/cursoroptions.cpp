#include "cursoroptions.h"

#include "iconsizes.h"

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

// --ani, --delay, --title and --author: an animated cursor, how long its
// frames show, and its own title and author.
std::optional<QString> readAnimation(const QCommandLineParser &parser, ConversionOptions &conversion)
{
    conversion.animated = parser.isSet(QStringLiteral("ani"));
    const bool titled = parser.isSet(QStringLiteral("title")) || parser.isSet(QStringLiteral("author"));
    if (titled && !conversion.animated)
        return QStringLiteral("--title and --author go with --ani.");
    conversion.title = parser.value(QStringLiteral("title"));
    conversion.author = parser.value(QStringLiteral("author"));
    if (!parser.isSet(QStringLiteral("delay")))
        return std::nullopt;
    if (!conversion.animated && !parser.isSet(QStringLiteral("xcursor")) && !parser.isSet(QStringLiteral("cursor-theme")))
        return QStringLiteral("--delay goes with --ani or --xcursor.");
    std::optional<std::vector<int>> delays = delaysOf(parser.value(QStringLiteral("delay")));
    if (!delays)
        return QStringLiteral("--delay takes whole numbers of milliseconds from 1 to 60000, separated by commas.");
    conversion.delays = std::move(*delays);
    return std::nullopt;
}

} // namespace

std::optional<QString> readCursorOptions(const QCommandLineParser &parser, ConversionOptions &conversion)
{
    if (std::optional<QString> mistake = readAnimation(parser, conversion))
        return mistake;
    // A cursor theme holds Linux cursors.
    conversion.xcursor = parser.isSet(QStringLiteral("xcursor")) || parser.isSet(QStringLiteral("cursor-theme"));
    const int kinds = int(parser.isSet(QStringLiteral("cursor"))) + int(conversion.xcursor) + int(conversion.animated);
    if (kinds > 1)
        return QStringLiteral("Give one of --cursor, --xcursor and --ani.");
    conversion.cursor = kinds == 1;
    const bool classic = parser.isSet(QStringLiteral("classic"));
    const bool hotSpot = parser.isSet(QStringLiteral("hotspot"));
    if (!conversion.cursor)
        return classic || hotSpot ? std::optional<QString>(QStringLiteral("--classic and --hotspot go with --cursor (--hotspot also with --xcursor)."))
                                  : std::nullopt;
    const QString kind = conversion.xcursor    ? QStringLiteral("--xcursor")
                         : conversion.animated ? QStringLiteral("--ani")
                                               : QStringLiteral("--cursor");
    if (conversion.output == SquareOutput::Bitmap)
        return QStringLiteral("%1 cannot be used with --bmp.").arg(kind);
    if ((conversion.xcursor || conversion.animated) && (classic || conversion.output != SquareOutput::ColourIcon))
        return QStringLiteral("%1 cannot be used with --classic or --mono: its images have alpha.").arg(kind);
    if (classic && (!conversion.sizes.empty() || conversion.output == SquareOutput::BlackAndWhiteIcon))
        return QStringLiteral("--classic cannot be used with --sizes or --mono.");
    if (hotSpot) {
        conversion.hotSpot = pointOf(parser.value(QStringLiteral("hotspot")));
        if (!conversion.hotSpot)
            return QStringLiteral("--hotspot takes x,y: two whole numbers of pixels from the picture's top-left corner "
                                  "(0,0).");
    }
    if (!classic && conversion.output == SquareOutput::ColourIcon && conversion.sizes.empty())
        conversion.sizes = conversion.xcursor ? IconSizes::xcursor() : IconSizes::cursor();
    return std::nullopt;
}

