#include "operand.h"

#include "fileaccess.h"
#include "nativename.h"

#include <QDir>

std::optional<QString> Operand::identity() const
{
    if (isStandard()) // the file it is open on, whatever "-" names here
        return m_stream == Stream::Input ? standardInputIdentity() : standardOutputIdentity();
    const FileIdentity identity = fileIdentity(m_name);
    return identity.exists ? std::optional<QString>(identity.key) : std::nullopt;
}

QString Operand::shown() const
{
    if (!isStandard())
        return shownPath(m_name);
    return m_stream == Stream::Input ? QStringLiteral("standard input") : QStringLiteral("standard output");
}

QString shownPath(const QString &path)
{
    return readableName(QDir::toNativeSeparators(path));
}
