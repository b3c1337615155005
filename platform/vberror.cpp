#include "vberror.h"

#include <QFileInfo>

static bool folderExists(const QFileInfo &info)
{
    const QFileInfo folder(info.absolutePath());
    return folder.exists() && folder.isDir();
}

VbError readFailureFor(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty())
        return VbError::fileNotFound();
    if (!folderExists(info))
        return VbError::pathNotFound();
    if (!info.exists())
        return VbError::fileNotFound();
    if (info.isDir())
        return VbError::pathFileAccess();
    if (!info.isReadable())
        return VbError::permissionDenied();
    return VbError::pathFileAccess();
}

VbError writeFailureFor(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty())
        return VbError::pathFileAccess();
    if (!folderExists(info))
        return VbError::pathNotFound();
    if (info.isDir())
        return VbError::pathFileAccess();
    if (info.exists() && !info.isWritable())
        return VbError::permissionDenied();
    const QFileInfo folder(info.absolutePath());
    if (!folder.isWritable())
        return VbError::permissionDenied();
    return VbError::pathFileAccess();
}
