#include "outputplan.h"

#include "openinput.h"


#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <optional>

// A result must never replace a picture being converted, whatever name it
// goes by. A picture that is not there is no file to keep.
InputFiles inputFilesOf(const QStringList &inputs)
{
    QHash<QString, QString> byFile;
    for (const QString &input : inputs)
        for (const QString &picture : filesOfInput(input))
            if (const std::optional<QString> key = Operand::input(picture).identity(); key && !byFile.contains(*key))
                byFile.insert(*key, picture);
    return byFile;
}

Operand Destination::outputFor(const QString &input, const QString &resultFolder) const
{
    if (!outputFile.isEmpty())
        return Operand::output(outputFile);
    return Operand::output(QDir(resultFolder).filePath(QFileInfo(input).completeBaseName() + extension));
}

std::optional<RunFailure> packingRefusal(const InputFiles &inputs, const Operand &output)
{
    const std::optional<QString> key = output.identity();
    const QString input = key ? inputs.value(*key) : QString();
    if (input.isEmpty())
        return std::nullopt;
    return RunFailure{RunFailure::Step::RefusePacking, output, Operand::input(input), RunFailure::isAPictureOfTheRun()};
}
