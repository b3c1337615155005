#include "outputclaims.h"

#include "fileaccess.h"
#include "folderlisting.h"
#include "openinput.h"

#include <QCryptographicHash>

#include <cstring>
#include <optional>

namespace {

// Where a result goes: standard output is the file it is open on; a file,
// its canonical location, which stays the same once it is written.
QString locationOfOutput(const Operand &output)
{
    if (output.isStandard())
        return QStringLiteral("standard output ") + output.identity().value_or(QString());
    return canonicalLocation(output.name());
}

QList<Operand> operandsOf(const QStringList &names)
{
    QList<Operand> operands;
    for (const QString &name : names)
        operands << Operand::input(name);
    return operands;
}

} // namespace

OutputClaims::Digest OutputClaims::digestOf(const QString &identity)
{
    const QByteArray hash = QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256);
    Digest digest;
    std::memcpy(digest.data(), hash.constData(), sizeof digest);
    return digest;
}

void OutputClaims::addInput(const Operand &input)
{
    // An .iconset folder is its pictures; a cursor configuration, itself
    // and its pictures.
    const QStringList files = input.isStandard() ? QStringList() : filesOfInput(input.name());
    for (const Operand &picture : files.isEmpty() ? QList<Operand>{input} : operandsOf(files))
        if (const std::optional<QString> identity = picture.identity())
            m_inputs.insert(digestOf(*identity));
}

std::optional<RunFailure> OutputClaims::refusedInput(const Operand &input) const
{
    if (m_results.empty() || input.isStandard() || !m_results.count(digestOf(canonicalLocation(input.name()))))
        return std::nullopt;
    return RunFailure{RunFailure::Step::RefuseConvert, input, std::nullopt, RunFailure::holdsAnEarlierResult()};
}

std::optional<RunFailure> OutputClaims::claim(const Operand &input, const Operand &output)
{
    if (const std::optional<QString> identity = output.identity(); identity && m_inputs.count(digestOf(*identity)))
        return RunFailure{RunFailure::Step::RefuseWrite, output, input, RunFailure::isAPictureOfTheRun()};
    if (!m_results.insert(digestOf(locationOfOutput(output))).second)
        return RunFailure{RunFailure::Step::RefuseOverwrite, output, input, RunFailure::holdsAnEarlierResult()};
    return std::nullopt;
}
