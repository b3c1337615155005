#include "appiconsoptions.h"

#include "faviconoptions.h"
#include "themeoptions.h"

#include <QFileInfo>

namespace {

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
    options.folder = parser.value(QStringLiteral("app-icons"));
    options.inputs = parser.positionalArguments();
    if (options.folder.isEmpty())
        return QStringLiteral("--app-icons needs the name of a folder.");
    if (std::optional<QString> refusal = picturesRefusal(options.inputs))
        return refusal;
    if (std::optional<QString> mistake = readName(parser, options))
        return mistake;
    if (parser.isSet(QStringLiteral("background")))
        if (std::optional<QString> mistake = readBackground(parser.value(QStringLiteral("background")), options.background.emplace()))
            return mistake;
    options.conversion.keyBlack = parser.isSet(QStringLiteral("key-black"));
    options.quiet = parser.isSet(QStringLiteral("quiet"));
    return folderRefusal(options.folder);
}
