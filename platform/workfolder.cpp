#include "workfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

static bool canWriteInto(const QString &folder)
{
    const QFileInfo info(folder);
    return !folder.isEmpty() && info.isDir() && info.isWritable();
}

QString workFilePath(const QString &programFolder, const QString &name)
{
    QString folder = programFolder;
    if (!canWriteInto(folder)) {
        folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        QDir().mkpath(folder);
    }
    return QDir::toNativeSeparators(QDir(folder).filePath(name));
}

WorkFileLock::WorkFileLock(const QString &workFile, std::chrono::milliseconds wait)
    : m_lock(workFile + QStringLiteral(".lock"))
{
    m_locked = m_lock.tryLock(int(wait.count()));
}

QString WorkFileLock::reason() const
{
    switch (m_lock.error()) {
    case QLockFile::NoError: return QString();
    case QLockFile::LockFailedError: return QStringLiteral("another Tervana window is using it; try again in a moment");
    case QLockFile::PermissionError: return QStringLiteral("its folder cannot be written");
    case QLockFile::UnknownError: break;
    }
    return QStringLiteral("its lock file cannot be made");
}
