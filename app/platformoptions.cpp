#include "platformoptions.h"

#include <QFileInfo>

std::optional<QString> readPlatformOptions(const QCommandLineParser &parser, ConversionOptions &conversion)
{
    const bool asked = parser.isSet(QStringLiteral("icns"));
    const bool otherKind = conversion.output != SquareOutput::ColourIcon || !conversion.sizes.empty() || conversion.cursor;
    // An output named .icns asks for one, unless another kind is asked for
    // (its name is then told it does not promise what it holds).
    const bool named = parser.isSet(QStringLiteral("output"))
                       && QFileInfo(parser.value(QStringLiteral("output"))).suffix().compare(QLatin1String("icns"), Qt::CaseInsensitive) == 0;
    if (asked && otherKind)
        return QStringLiteral("--icns cannot be used with --bmp, --mono, --sizes or a cursor: it holds its own sizes, 16 to 1024.");
    conversion.icns = asked || (named && !otherKind);
    return std::nullopt;
}
