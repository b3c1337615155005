#include "faviconoptions.h"

#include <QColor>

std::optional<QString> readBackground(const QString &given, QColor &background)
{
    const QColor colour(given);
    if (!colour.isValid())
        return QStringLiteral("--background takes a colour such as #ffffff or white; \"%1\" is none.").arg(given);
    if (colour.alpha() != 255)
        return QStringLiteral("--background takes an opaque colour, as the icons over it are; \"%1\" is see-through.").arg(given);
    background = colour;
    return std::nullopt;
}

std::optional<QString> readFaviconOptions(const QCommandLineParser &parser, Options &options)
{
    if (parser.isSet(QStringLiteral("background")))
        if (std::optional<QString> mistake = readBackground(parser.value(QStringLiteral("background")), options.background.emplace()))
            return mistake;
    options.folder = parser.value(QStringLiteral("favicon"));
    if (options.folder.isEmpty())
        return QStringLiteral("--favicon needs the name of a folder.");
    options.conversion.keyBlack = parser.isSet(QStringLiteral("key-black"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    options.inputs = parser.positionalArguments();
    if (std::optional<QString> refusal = picturesRefusal(options.inputs))
        return refusal;
    return std::nullopt;
}
