#include "faviconoptions.h"

#include "optiontable.h"

#include <QColor>

namespace {

// The options a favicon set does not take: it has its own files, sizes
// and folder, and its pictures are named.
const QStringList otherResults{
    QStringLiteral("output"),   QStringLiteral("directory"), QStringLiteral("bmp"),          QStringLiteral("mono"),
    QStringLiteral("sizes"),    QStringLiteral("icns"),      QStringLiteral("cursor"),       QStringLiteral("xcursor"),
    QStringLiteral("ani"),      QStringLiteral("hotspot"),   QStringLiteral("cursor-theme"), QStringLiteral("delay"),
    QStringLiteral("title"),    QStringLiteral("author"),    QStringLiteral("classic"),      QStringLiteral("recursive"),
    QStringLiteral("follow-links"), QStringLiteral("files-from"), QStringLiteral("null"),    QStringLiteral("jobs")};

// The options given that a favicon set does not take, as --help names them.
QStringList refusedOptions(const QCommandLineParser &parser)
{
    QStringList given;
    for (const OptionEntry &entry : optionTable())
        if (otherResults.contains(QLatin1String(entry.name)) && parser.isSet(QLatin1String(entry.name)))
            given << (entry.letter ? QStringLiteral("-") + QLatin1String(entry.letter) : QStringLiteral("--") + QLatin1String(entry.name));
    return given;
}

} // namespace

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
    const bool favicon = parser.isSet(QStringLiteral("favicon"));
    const bool background = parser.isSet(QStringLiteral("background"));
    if (!favicon)
        return background ? std::optional<QString>(QStringLiteral("--background goes with --favicon.")) : std::nullopt;
    if (background)
        if (std::optional<QString> mistake = readBackground(parser.value(QStringLiteral("background")), options.background.emplace()))
            return mistake;
    if (const QStringList refused = refusedOptions(parser); !refused.isEmpty())
        return QStringLiteral("--favicon cannot be used with %1: it writes its own files and sizes into DIR.")
            .arg(refused.join(QStringLiteral(", ")));
    options.task = Task::Favicon;
    options.folder = parser.value(QStringLiteral("favicon"));
    if (options.folder.isEmpty())
        return QStringLiteral("--favicon needs the name of a folder.");
    options.conversion.keyBlack = parser.isSet(QStringLiteral("key-black"));
    options.inputs = parser.positionalArguments();
    if (options.inputs.isEmpty())
        return QStringLiteral("No input picture given.");
    if (options.inputs.count(QStringLiteral("-")) > 1)
        return QStringLiteral("Standard input (-) can be given once.");
    return std::nullopt;
}
