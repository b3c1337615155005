#include "cursoroptions.h"

#include "iconsizes.h"

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

} // namespace

std::optional<QString> readCursorOptions(const QCommandLineParser &parser, ConversionOptions &conversion)
{
    conversion.xcursor = parser.isSet(QStringLiteral("xcursor"));
    conversion.cursor = parser.isSet(QStringLiteral("cursor")) || conversion.xcursor;
    const bool classic = parser.isSet(QStringLiteral("classic"));
    const bool hotSpot = parser.isSet(QStringLiteral("hotspot"));
    if (!conversion.cursor)
        return classic || hotSpot ? std::optional<QString>(QStringLiteral("--classic and --hotspot go with --cursor (--hotspot also with --xcursor)."))
                                  : std::nullopt;
    if (conversion.xcursor && parser.isSet(QStringLiteral("cursor")))
        return QStringLiteral("Give either --cursor or --xcursor.");
    if (conversion.output == SquareOutput::Bitmap)
        return QStringLiteral("%1 cannot be used with --bmp.").arg(conversion.xcursor ? QStringLiteral("--xcursor")
                                                                                        : QStringLiteral("--cursor"));
    if (conversion.xcursor && (classic || conversion.output != SquareOutput::ColourIcon))
        return QStringLiteral("--xcursor cannot be used with --classic or --mono: a Linux cursor has alpha.");
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

