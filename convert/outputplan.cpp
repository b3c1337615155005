#include "outputplan.h"

#include "fileaccess.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <optional>

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// The pictures of the run by the file each is, the first of any that are
// one file: a result must never replace a picture being converted,
// whatever name it goes by. A picture that is not there is no file to keep.
QHash<QString, QString> inputsByFile(const QStringList &inputs)
{
    QHash<QString, QString> byFile;
    for (const QString &input : inputs) {
        // Standard input is the file it is open on, whatever "-" names here.
        std::optional<QString> key;
        if (input == QLatin1String("-"))
            key = standardInputIdentity();
        else if (const FileIdentity identity = fileIdentity(input); identity.exists)
            key = identity.key;
        if (key && !byFile.contains(*key))
            byFile.insert(*key, input);
    }
    return byFile;
}

std::optional<QString> identityOfOutput(const QString &output)
{
    if (namesStandardOutput(output))
        return standardOutputIdentity();
    return fileIdentity(output).key;
}

} // namespace

bool namesStandardOutput(const QString &output)
{
    return output == QStringLiteral("-");
}

QString shownInput(const QString &input)
{
    return input == QLatin1String("-") ? QStringLiteral("standard input") : native(input);
}

QString shownOutput(const QString &output)
{
    return namesStandardOutput(output) ? QStringLiteral("standard output") : native(output);
}

OutputPlan planOutputs(const QStringList &inputs, const QString &outputFile, const QString &folder,
                       const QString &extension)
{
    OutputPlan plan;
    plan.refusals.resize(size_t(inputs.size()));
    const QHash<QString, QString> byFile = inputsByFile(inputs);
    QHash<QString, QString> taken; // output file -> the earlier input it is for
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        const QString output = outputFile.isEmpty()
                                   ? QDir(folder).filePath(QFileInfo(inputs[i]).completeBaseName() + extension)
                                   : outputFile;
        plan.outputs << output;
        const std::optional<QString> key = identityOfOutput(output);
        if (!key)
            continue; // standard output closed, or not to be told: nothing it could replace
        QString &refusal = plan.refusals[size_t(i)];
        if (const QString input = byFile.value(*key); !input.isEmpty())
            refusal = QStringLiteral("Tervana will not write \"%1\" for \"%2\": it is the picture \"%3\".")
                          .arg(shownOutput(output), shownInput(inputs[i]), shownInput(input));
        else if (taken.contains(*key))
            refusal = QStringLiteral("Tervana will not overwrite \"%1\", the result for \"%2\", with \"%3\".")
                          .arg(shownOutput(output), shownInput(taken[*key]), shownInput(inputs[i]));
        else
            taken.insert(*key, inputs[i]);
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
