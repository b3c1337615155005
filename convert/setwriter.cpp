#include "setwriter.h"

#include "outputplan.h"

#include <QDir>

SetWriter::SetWriter(SetPlace place, QStringList inputs, OwnLink ownLink)
    : m_place(std::move(place))
    , m_inputs(inputFilesOf(inputs))
    , m_ownLink(std::move(ownLink))
{
}

SetWriter SetWriter::within(const QString &subfolder) const
{
    SetWriter inside = *this;
    inside.m_place.within += subfolder + QLatin1Char('/');
    return inside;
}

QString SetWriter::pathOf(const QString &name) const
{
    return QDir(m_place.folder).filePath(m_place.within + name);
}

std::optional<RunFailure> SetWriter::refusal(const QString &name) const
{
    return packingRefusal(m_inputs, Operand::output(pathOf(name)));
}

std::optional<RunFailure> SetWriter::firstRefusal(const QStringList &names) const
{
    for (const QString &name : names)
        if (std::optional<RunFailure> refused = refusal(name))
            return refused;
    return std::nullopt;
}

QStringList picturesOf(const SetRequest &request)
{
    return request.backgroundPicture.isEmpty() ? request.inputs : request.inputs + QStringList{request.backgroundPicture};
}

std::optional<RunFailure> SetWriter::write(const QString &name, const QByteArray &bytes, const Operand &picture)
{
    if (std::optional<RunFailure> refused = refusal(name))
        return refused;
    const QString path = pathOf(name);
    if (std::optional<Failure> failure = writeFileInSet(m_place.folder, m_place.within + name, bytes, m_ownLink))
        return RunFailure{RunFailure::Step::Write, Operand::output(path), picture, std::move(*failure)};
    m_written << path;
    return std::nullopt;
}
