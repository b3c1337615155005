#include "runplaces.h"

#include "fileaccess.h"
#include "nativename.h"
#include "setfiles.h"

std::optional<QString> picturesRefusal(const QStringList &inputs, bool listedOnStandardInput)
{
    if (inputs.isEmpty())
        return QStringLiteral("No input picture given.");
    if (inputs.count(QStringLiteral("-")) + (listedOnStandardInput ? 1 : 0) > 1)
        return QStringLiteral("Standard input (-) can be given once.");
    return std::nullopt;
}

std::optional<QString> folderRefusal(const QString &folder)
{
    const std::optional<Failure> refusal = setFolderRefusal(folder);
    if (!refusal)
        return std::nullopt;
    if (fileKindAt(folder) == FileKind::Missing)
        return QStringLiteral("The folder \"%1\" cannot be made: %2.").arg(readableName(folder), refusal->reason);
    return refusal->reason + QLatin1Char('.');
}
