#include "folderlisting.h"

#include "fileaccess.h"
#include "nativename.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_UNIX
namespace {

FolderEntry::Kind kindOfEntry(int folder, const char *name)
{
    struct stat entry = {};
    if (::fstatat(folder, name, &entry, AT_SYMLINK_NOFOLLOW) != 0)
        return FolderEntry::Kind::Other;
    const bool link = S_ISLNK(entry.st_mode);
    if (link && ::fstatat(folder, name, &entry, 0) != 0)
        return FolderEntry::Kind::Other;
    if (S_ISDIR(entry.st_mode))
        return link ? FolderEntry::Kind::LinkToFolder : FolderEntry::Kind::Folder;
    return S_ISREG(entry.st_mode) ? FolderEntry::Kind::File : FolderEntry::Kind::Other;
}

Failure listingFailure(const QString &folder)
{
    const int error = errno;
    if (error == ENOENT)
        return Failure::noSuchFolder();
    if (error == EACCES || error == EPERM)
        return Failure::permissionDenied();
    if (error == ENOTDIR)
        return {Failure::Kind::Unusable, QStringLiteral("it is not a folder")};
    return writeFailureFor(folder);
}

} // namespace

std::optional<Failure> listFolder(const QString &folder, std::vector<FolderEntry> &entries)
{
    const int fd = ::open(nativeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *listing = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!listing) {
        const Failure failure = listingFailure(folder);
        if (fd >= 0)
            ::close(fd);
        return failure;
    }
    std::vector<std::pair<QByteArray, FolderEntry::Kind>> found;
    while (const dirent *entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            found.emplace_back(name, kindOfEntry(fd, entry->d_name));
    }
    ::closedir(listing);
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    entries.clear();
    entries.reserve(found.size());
    for (const auto &[name, kind] : found)
        entries.push_back({nameFromNative(name), kind});
    return std::nullopt;
}

std::optional<Failure> makeFolders(const QString &folder)
{
    const QByteArray path = nativeName(folder);
    for (qsizetype end = path.indexOf('/', 1); ; end = path.indexOf('/', end + 1)) {
        const QByteArray part = end < 0 ? path : path.left(end);
        if (!part.isEmpty() && ::mkdir(part.constData(), 0777) != 0 && errno != EEXIST)
            return writeFailureFor(folder);
        if (end < 0)
            break;
    }
    return fileKindAt(folder) == FileKind::Folder ? std::nullopt : std::optional<Failure>(writeFailureFor(folder));
}

QString canonicalLocation(const QString &path)
{
    QByteArray existing = nativeName(QFileInfo(path).absoluteFilePath());
    QByteArray rest;
    char resolved[PATH_MAX];
    while (!::realpath(existing.constData(), resolved)) {
        const qsizetype slash = existing.lastIndexOf('/');
        if (slash <= 0)
            return nameFromNative(existing + rest);
        rest.prepend(existing.mid(slash));
        existing.truncate(slash);
    }
    return nameFromNative(QByteArray(resolved) + rest);
}

#else

std::optional<Failure> listFolder(const QString &folder, std::vector<FolderEntry> &entries)
{
    const QDir dir(folder);
    if (!dir.exists())
        return Failure::noSuchFolder();
    entries.clear();
    for (const QFileInfo &info : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        const FolderEntry::Kind kind = info.isDir() ? (info.isSymLink() ? FolderEntry::Kind::LinkToFolder : FolderEntry::Kind::Folder)
                                       : info.isFile() ? FolderEntry::Kind::File
                                                       : FolderEntry::Kind::Other;
        entries.push_back({info.fileName(), kind});
    }
    return std::nullopt;
}

std::optional<Failure> makeFolders(const QString &folder)
{
    return QDir().mkpath(folder) ? std::nullopt : std::optional<Failure>(writeFailureFor(folder));
}

QString canonicalLocation(const QString &path)
{
    QFileInfo info(QFileInfo(path).absoluteFilePath());
    QString rest;
    while (!info.exists() && !info.isRoot()) {
        rest.prepend(QLatin1Char('/') + info.fileName());
        info = QFileInfo(info.absolutePath());
    }
    return info.canonicalFilePath() + rest;
}

#endif
