#include "outputclaims.h"

#include "fileaccess.h"
#include "folderlisting.h"

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
    if (const std::optional<QString> identity = input.identity())
        m_inputs.insert(digestOf(*identity));
}

QString OutputClaims::refusedInput(const Operand &input) const
{
    if (m_results.empty() || input.isStandard() || !m_results.count(digestOf(canonicalLocation(input.name()))))
        return QString();
    return QStringLiteral("Tervana will not convert \"%1\": it holds the result of an earlier picture of this run.")
        .arg(input.shown());
}

QString OutputClaims::claim(const Operand &input, const Operand &output)
{
    if (const std::optional<QString> identity = output.identity(); identity && m_inputs.count(digestOf(*identity)))
        return QStringLiteral("Tervana will not write \"%1\" for \"%2\": it is one of the pictures being converted.")
            .arg(output.shown(), input.shown());
    if (!m_results.insert(digestOf(locationOfOutput(output))).second)
        return QStringLiteral("Tervana will not overwrite \"%1\" with the result for \"%2\": it holds the result of an "
                              "earlier picture of this run.")
            .arg(output.shown(), input.shown());
    return QString();
}
