#include "outputplan.h"

#include "conversion.h"
#include "fileaccess.h"
#include "nativename.h"
#include "outputclaims.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <optional>

namespace {

QString native(const QString &path)
{
    return readableName(QDir::toNativeSeparators(path));
}

// The pictures of the run by the file each is, the first of any that are
// one file: a result must never replace a picture being converted,
// whatever name it goes by. A picture that is not there is no file to keep.
QHash<QString, QString> inputsByFile(const QStringList &inputs)
{
    QHash<QString, QString> byFile;
    for (const QString &input : inputs)
        if (const std::optional<QString> key = identityOfInput(input); key && !byFile.contains(*key))
            byFile.insert(*key, input);
    return byFile;
}

} // namespace

bool namesStandardOutput(const QString &output)
{
    return output == QStringLiteral("-");
}

std::optional<QString> identityOfInput(const QString &input)
{
    if (input == QLatin1String("-"))
        return standardInputIdentity(); // the file it is open on, whatever "-" names here
    const FileIdentity identity = fileIdentity(input);
    return identity.exists ? std::optional<QString>(identity.key) : std::nullopt;
}

std::optional<QString> identityOfOutput(const QString &output)
{
    if (namesStandardOutput(output))
        return standardOutputIdentity();
    const FileIdentity identity = fileIdentity(output);
    return identity.exists ? std::optional<QString>(identity.key) : std::nullopt;
}

QString shownInput(const QString &input)
{
    return input == QLatin1String("-") ? QStringLiteral("standard input") : native(input);
}

QString shownOutput(const QString &output)
{
    return namesStandardOutput(output) ? QStringLiteral("standard output") : native(output);
}

QString derivedOutput(const QString &input, const QString &folder, const QString &extension)
{
    return QDir(folder).filePath(QFileInfo(input).completeBaseName() + extension);
}

OutputPlan planOutputs(const QStringList &inputs, const QString &outputFile, const QString &folder,
                       const QString &extension)
{
    OutputPlan plan;
    OutputClaims claims;
    for (const QString &input : inputs)
        claims.addInput(input);
    for (const QString &input : inputs) {
        plan.outputs << (outputFile.isEmpty() ? derivedOutput(input, folder, extension) : outputFile);
        plan.refusals.push_back(claims.claim(input, plan.outputs.last()));
    }
    return plan;
}

QString packingRefusal(const QStringList &inputs, const QString &output)
{
    const std::optional<QString> key = identityOfOutput(output);
    const QString input = key ? inputsByFile(inputs).value(*key) : QString();
    if (input.isEmpty())
        return QString();
    return QStringLiteral("Tervana will not write \"%1\": it is the picture \"%2\".").arg(shownOutput(output), shownInput(input));
}

QString formatMismatch(const QString &output, const QString &extension)
{
    // Only a picture format's ending promises one: another is the user's own.
    const QString ending = QFileInfo(output).suffix().toLower();
    const bool bitmap = extension == QLatin1String(".bmp");
    if (namesStandardOutput(output) || !endsAsAPicture(output) || QLatin1Char('.') + ending == extension ||
        (bitmap && ending == QLatin1String("dib")))
        return QString();
    return QStringLiteral("\"%1\" will hold %2, whatever its ending \".%3\" promises%4.")
        .arg(shownOutput(output), bitmap ? QStringLiteral("a bitmap") : QStringLiteral("an icon"), readableName(ending),
             bitmap ? QString() : ending == QLatin1String("bmp") ? QStringLiteral(" (--bmp writes a bitmap)") : QString());
}

std::optional<QString> recursiveFolderRefusal(const QStringList &arguments, bool listGiven, const QString &folder)
{
    if (arguments.size() + (listGiven ? 1 : 0) < 2)
        return std::nullopt;
    const FileIdentity results = fileIdentity(folder);
    for (const QString &argument : arguments)
        if (results.exists && fileIdentity(argument).key == results.key)
            return QStringLiteral("-d \"%1\" is a folder given to -r with other pictures, whose results could replace "
                                  "its pictures before they are reached; give that folder alone, or another -d.")
                .arg(readableName(folder));
    return std::nullopt;
}
