#include "themeoptions.h"

#include "nativename.h"
#include "optiontable.h"

#include <cstring>

namespace {

// The options a theme run takes besides its pictures.
bool goesWithTheme(const char *option)
{
    for (const char *taken : {"theme", "name", "key-black"})
        if (std::strcmp(option, taken) == 0)
            return true;
    return false;
}

// The first option given that a theme run does not take, as it is written.
std::optional<QString> optionRefused(const QCommandLineParser &parser)
{
    for (const OptionEntry &entry : optionTable())
        if (!goesWithTheme(entry.name) && parser.isSet(QLatin1String(entry.name)))
            return entry.letter ? QStringLiteral("-") + QLatin1String(entry.letter) : QStringLiteral("--") + QLatin1String(entry.name);
    return std::nullopt;
}

} // namespace

std::optional<QString> nameRefusal(const QString &name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("--name takes a plain file name, without \"/\" and not \".\" or \"..\" (the Icon= of the "
                              "program's desktop entry); \"%1\" is not one.")
            .arg(readableName(name));
    return std::nullopt;
}

std::optional<QString> readThemeOptions(const QCommandLineParser &parser, Options &options,
                                        std::optional<QString> (*folderRefusal)(const QString &))
{
    const bool theme = parser.isSet(QStringLiteral("theme"));
    if (!theme && !parser.isSet(QStringLiteral("name")))
        return std::nullopt;
    if (!theme)
        return QStringLiteral("--name goes with --theme DIR.");
    if (!parser.isSet(QStringLiteral("name")))
        return QStringLiteral("--theme needs --name NAME: the name desktops look the icon up by.");
    options.iconName = parser.value(QStringLiteral("name"));
    if (std::optional<QString> refusal = nameRefusal(options.iconName))
        return refusal;
    if (const std::optional<QString> refused = optionRefused(parser))
        return QStringLiteral("--theme cannot be used with %1: it writes DIR/hicolor itself, a PNG of each size and "
                              "the drawing; only --key-black goes with it.")
            .arg(*refused);
    options.iconThemeFolder = parser.value(QStringLiteral("theme"));
    options.inputs = parser.positionalArguments();
    if (options.iconThemeFolder.isEmpty())
        return QStringLiteral("--theme needs a folder name.");
    if (options.inputs.isEmpty())
        return QStringLiteral("No input picture given.");
    if (options.inputs.count(QStringLiteral("-")) > 1)
        return QStringLiteral("Standard input (-) can be given once.");
    options.task = Task::IconTheme;
    options.conversion.keyBlack = parser.isSet(QStringLiteral("key-black"));
    return folderRefusal(options.iconThemeFolder);
}
