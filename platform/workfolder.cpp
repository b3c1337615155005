#include "workfolder.h"

#include "fileaccess.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

// Whether a file can really be made in `folder`: a folder's permission bits
// do not tell everything (access lists, read-only mounts, attributes that
// mean something else on another platform).
static bool canWriteInto(const QString &folder)
{
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("tervana-probe-XXXXXX")));
    return probe.open();
}

static QString userDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

QString workFolderFor(const QString &programFolder, const QString &buildFolder)
{
    const QString program = QFileInfo(programFolder).canonicalFilePath();
    if (!program.isEmpty() && program == QFileInfo(buildFolder).canonicalFilePath())
        return programFolder;
    return userDataFolder();
}

QString dialogFolderFor(const QString &programFolder, const QString &buildFolder)
{
    const QString program = QFileInfo(programFolder).canonicalFilePath();
    if (!program.isEmpty() && program == QFileInfo(buildFolder).canonicalFilePath())
        return programFolder;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !pictures.isEmpty() && QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
}

QString workFilePath(const QString &programFolder, const QString &name)
{
    QString folder = programFolder;
    if (!canWriteInto(folder)) {
        folder = userDataFolder();
        QDir().mkpath(folder);
    }
    return QDir::toNativeSeparators(QDir(folder).filePath(name));
}

WorkFileLock::WorkFileLock(const QString &workFile)
    : m_lock(workFile + QStringLiteral(".lock"))
{
    // Writing and reading back a work file of a few kilobytes takes
    // milliseconds; a lock this old was left by a process that hangs.
    m_lock.setStaleLockTime(3000);
}

bool WorkFileLock::tryLock(std::chrono::milliseconds wait)
{
    if (m_lock.isLocked())
        return true;
    // A lock file is read to see who holds it: a pipe or device there would
    // never answer.
    const FileKind kind = fileKindAt(m_lock.fileName());
    if (kind != FileKind::Missing && kind != FileKind::Regular) {
        m_notAFile = true;
        return false;
    }
    return m_lock.tryLock(int(wait.count()));
}

QString WorkFileLock::reason() const
{
    if (m_notAFile)
        return QStringLiteral("its lock file is not a regular file");
    switch (m_lock.error()) {
    case QLockFile::NoError: return QString();
    case QLockFile::LockFailedError: return QStringLiteral("another Tervana window is using it; try again in a moment");
    case QLockFile::PermissionError: return QStringLiteral("its folder cannot be written");
    case QLockFile::UnknownError: break;
    }
    return QStringLiteral("its lock file cannot be made");
}
