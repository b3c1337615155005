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
