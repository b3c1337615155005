#include "setoptions.h"

#include "nativename.h"
#include "outputkinds.h"
#include "appicons.h"
#include "runplaces.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

// The icon's name: --name's; else, where the kind may go without it, the
// first picture's name without its ending.
std::optional<QString> readName(const QCommandLineParser &parser, Options &options)
{
    const QString kind = QLatin1String(rowOf(options.kind()).option);
    if (parser.isSet(QStringLiteral("name")))
        options.name = parser.value(QStringLiteral("name"));
    else if (options.kind() == OutputKind::IconTheme)
        return QStringLiteral("%1 needs --name NAME: the name desktops look the icon up by.").arg(kind);
    else if (options.inputs.first() == QLatin1String("-"))
        return QStringLiteral("%1 of standard input (-) needs --name NAME to name its files.").arg(kind);
    else
        options.name = QFileInfo(options.inputs.first()).completeBaseName();
    return nameRefusal(options.name);
}

// `text` with each half of a surrogate pair that has no other half (what
// bytes that are no UTF-8 become) replaced by U+FFFD, as a manifest and a
// package's lines can hold only whole characters.
QString wholeCharacters(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
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

std::optional<QString> readPlatforms(const QString &list, QStringList &platforms)
{
    for (const QString &platform : list.split(QLatin1Char(','))) {
        if (!appIconPlatforms().contains(platform))
            return QStringLiteral("--platforms takes a list of %1, separated by commas; \"%2\" is none of them.")
                .arg(appIconPlatforms().join(QStringLiteral(", ")), readableName(platform));
        if (platforms.contains(platform))
            return QStringLiteral("--platforms names %1 twice.").arg(platform);
        platforms << platform;
    }
    return std::nullopt;
}

std::optional<QString> webPathRefusal(const QString &path)
{
    // The path goes into the lines a page's head takes as it stands: it may
    // hold nothing an attribute or a URL would read otherwise.
    // "//" would begin a link to another host.
    static const QRegularExpression plainPath(QStringLiteral("^/(?!/)[!$()*+,\\-./0-9:;=@A-Z_a-z~%]*$"));
    if (!plainPath.match(path).hasMatch())
        return QStringLiteral("--web-path takes the path the set is served under, such as /static/icons: it begins with "
                              "/ and holds letters, digits and - . _ ~ / and the like, without spaces, quotes, <, >, &, "
                              "? or #; \"%1\" does not.")
            .arg(readableName(path));
    return std::nullopt;
}

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

std::optional<QString> readSetOptions(const QCommandLineParser &parser, Options &options)
{
    const QString kind = QLatin1String(rowOf(options.kind()).option);
    // A macOS .iconset is asked for by its option or by an output so named.
    const bool namedOutput = !parser.isSet(kind.mid(2)) && parser.isSet(QStringLiteral("output"));
    if (parser.isSet(kind.mid(2)) && parser.isSet(QStringLiteral("output")))
        return QStringLiteral("Give either %1 DIR or -o NAME.iconset.").arg(kind);
    options.folder = parser.value(namedOutput ? QStringLiteral("output") : kind.mid(2));
    options.inputs = parser.positionalArguments();
    if (options.folder.isEmpty())
        return QStringLiteral("%1 needs the name of a folder.").arg(kind);
    if (std::optional<QString> refusal = picturesRefusal(options.inputs))
        return refusal;
    // Only the theme's and --app-icons' files are named after the icon; the
    // other sets take any text for the app's name, or none.
    if (options.kind() != OutputKind::IconTheme && options.kind() != OutputKind::AppIcons)
        options.name = wholeCharacters(parser.value(QStringLiteral("name")));
    else if (std::optional<QString> mistake = readName(parser, options))
        return mistake;
    if (parser.isSet(QStringLiteral("background")))
        if (std::optional<QString> mistake = readBackground(parser.value(QStringLiteral("background")), options.background.emplace()))
            return mistake;
    options.conversion.keyBlack = parser.isSet(QStringLiteral("key-black"));
    options.conversion.title = wholeCharacters(parser.value(QStringLiteral("title")));
    options.iosAll = parser.isSet(QStringLiteral("ios-all"));
    options.backgroundPicture = parser.value(QStringLiteral("background-picture"));
    if (parser.isSet(QStringLiteral("background-picture")) && (options.backgroundPicture.isEmpty() || options.backgroundPicture == QLatin1String("-")))
        return QStringLiteral("--background-picture takes a picture file (not standard input).");
    if (parser.isSet(QStringLiteral("platforms")))
        if (std::optional<QString> mistake = readPlatforms(parser.value(QStringLiteral("platforms")), options.platforms))
            return mistake;
    options.webPath = parser.value(QStringLiteral("web-path"));
    if (parser.isSet(QStringLiteral("web-path")))
        if (std::optional<QString> mistake = webPathRefusal(options.webPath))
            return mistake;
    return folderRefusal(options.folder);
}
