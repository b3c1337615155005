#include "atomicfile.h"

#include "fileaccess.h"

#include <QSaveFile>

std::optional<Failure> writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return writeFailureFor(path);
    // A full disk can take part of a write and still report success, so the
    // size that reached the disk is checked before the file replaces the old.
    if (file.write(bytes) != bytes.size() || !file.flush() || file.size() != bytes.size()) {
        file.cancelWriting();
        return Failure::diskFull();
    }
    if (!file.commit())
        return writeFailureFor(path);
    return std::nullopt;
}

std::optional<Failure> writeFile(const QString &path, const QByteArray &bytes)
{
    switch (fileKindAt(path)) {
    case FileKind::Missing:
    case FileKind::Regular: return writeFileAtomically(path, bytes);
    case FileKind::Stream: return writeIntoStream(path, bytes);
    case FileKind::Folder:
    case FileKind::Other: break;
    }
    return writeFailureFor(path);
}
