#include "themeoptions.h"

#include "nativename.h"

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
    if (!parser.isSet(QStringLiteral("name")))
        return QStringLiteral("--theme needs --name NAME: the name desktops look the icon up by.");
    options.iconName = parser.value(QStringLiteral("name"));
    if (std::optional<QString> refusal = nameRefusal(options.iconName))
        return refusal;
    options.iconThemeFolder = parser.value(QStringLiteral("theme"));
    options.inputs = parser.positionalArguments();
    if (options.iconThemeFolder.isEmpty())
        return QStringLiteral("--theme needs a folder name.");
    if (std::optional<QString> refusal = picturesRefusal(options.inputs))
        return refusal;
    options.conversion.keyBlack = parser.isSet(QStringLiteral("key-black"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    return folderRefusal(options.iconThemeFolder);
}
