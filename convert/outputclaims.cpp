#include "outputclaims.h"

#include "fileaccess.h"
#include "folderlisting.h"
#include "outputplan.h"

#include <QCryptographicHash>

#include <cstring>
#include <optional>

namespace {

// Where a result goes: standard output is the file it is open on; a file,
// its canonical location, which stays the same once it is written.
QString locationOfOutput(const QString &output)
{
    if (namesStandardOutput(output))
        return QStringLiteral("standard output ") + standardOutputIdentity().value_or(QString());
    return canonicalLocation(output);
}

} // namespace

OutputClaims::Digest OutputClaims::digestOf(const QString &identity)
{
    const QByteArray hash = QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256);
    Digest digest;
    std::memcpy(digest.data(), hash.constData(), sizeof digest);
    return digest;
}

void OutputClaims::addInput(const QString &input)
{
    if (const std::optional<QString> identity = identityOfInput(input))
        m_inputs.insert(digestOf(*identity));
}

QString OutputClaims::refusedInput(const QString &input) const
{
    if (m_results.empty() || input == QLatin1String("-") || !m_results.count(digestOf(canonicalLocation(input))))
        return QString();
    return QStringLiteral("Tervana will not convert \"%1\": it holds the result of an earlier picture of this run.")
        .arg(shownInput(input));
}

QString OutputClaims::claim(const QString &input, const QString &output)
{
    if (const std::optional<QString> identity = identityOfOutput(output); identity && m_inputs.count(digestOf(*identity)))
        return QStringLiteral("Tervana will not write \"%1\" for \"%2\": it is one of the pictures being converted.")
            .arg(shownOutput(output), shownInput(input));
    if (!m_results.insert(digestOf(locationOfOutput(output))).second)
        return QStringLiteral("Tervana will not overwrite \"%1\" with the result for \"%2\": it holds the result of an "
                              "earlier picture of this run.")
            .arg(shownOutput(output), shownInput(input));
    return QString();
}
