#include "appiconsoptions.h"

#include "faviconoptions.h"
#include "optiontable.h"
#include "themeoptions.h"

#include <QFileInfo>

#include <cstring>

namespace {

// The first option given that --app-icons does not take, as it is written.
std::optional<QString> optionRefused(const QCommandLineParser &parser)
{
    for (const OptionEntry &entry : optionTable()) {
        bool taken = false;
        for (const char *option : {"app-icons", "name", "background", "key-black"})
            taken = taken || std::strcmp(entry.name, option) == 0;
        if (!taken && parser.isSet(QLatin1String(entry.name)))
            return entry.letter ? QStringLiteral("-") + QLatin1String(entry.letter) : QStringLiteral("--") + QLatin1String(entry.name);
    }
    return std::nullopt;
}

// The icon's name: --name's, or the first picture's without its ending.
std::optional<QString> readName(const QCommandLineParser &parser, Options &options)
{
    if (parser.isSet(QStringLiteral("name")))
        options.iconName = parser.value(QStringLiteral("name"));
    else if (options.inputs.first() == QLatin1String("-"))
        return QStringLiteral("--app-icons of standard input (-) needs --name NAME to name its files.");
    else
        options.iconName = QFileInfo(options.inputs.first()).completeBaseName();
    return nameRefusal(options.iconName);
}

} // namespace

std::optional<QString> readAppIconsOptions(const QCommandLineParser &parser, Options &options,
                                           std::optional<QString> (*folderRefusal)(const QString &))
{
    if (!parser.isSet(QStringLiteral("app-icons")))
        return std::nullopt;
    if (const std::optional<QString> refused = optionRefused(parser))
        return QStringLiteral("--app-icons cannot be used with %1: it writes every icon's own sizes into DIR; only "
                              "--name, --background and --key-black go with it.")
            .arg(*refused);
    options.task = Task::AppIcons;
    options.folder = parser.value(QStringLiteral("app-icons"));
    options.inputs = parser.positionalArguments();
    if (options.folder.isEmpty())
        return QStringLiteral("--app-icons needs the name of a folder.");
    if (options.inputs.isEmpty())
        return QStringLiteral("No input picture given.");
    if (options.inputs.count(QStringLiteral("-")) > 1)
        return QStringLiteral("Standard input (-) can be given once.");
    if (std::optional<QString> mistake = readName(parser, options))
        return mistake;
    if (parser.isSet(QStringLiteral("background")))
        if (std::optional<QString> mistake = readBackground(parser.value(QStringLiteral("background")), options.background.emplace()))
            return mistake;
    options.conversion.keyBlack = parser.isSet(QStringLiteral("key-black"));
    return folderRefusal(options.folder);
}
