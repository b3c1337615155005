#include "setfiles.h"

#include "atomicfile.h"
#include "fileaccess.h"
#include "folderlisting.h"
#include "nativename.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <vector>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

Failure linkedFolder(const QString &shown)
{
    return {Failure::Kind::Unusable,
            QStringLiteral("\"%1\" is a link, and Tervana writes into no folder through a link").arg(readableName(shown))};
}

Failure linkedFile()
{
    return {Failure::Kind::Unusable, QStringLiteral("it is a link, and Tervana writes no file through a link it did not make")};
}

Failure notAFolder(const QString &shown, bool regularFile)
{
    return {Failure::Kind::Unusable, QStringLiteral("\"%1\" is %2").arg(readableName(shown),
                                                                       regularFile ? QStringLiteral("a file, not a folder")
                                                                                   : QStringLiteral("not a folder"))};
}

// The parts of a name the program picked, each a plain name (a NUL, which
// a listed name may hold, would end it early).
std::optional<QStringList> plainParts(const QString &name)
{
    const QStringList parts = name.split(QLatin1Char('/'));
    for (const QString &part : parts)
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..") || part.contains(QChar(0)))
            return std::nullopt;
    return parts;
}

} // namespace

std::optional<Failure> setFolderRefusal(const QString &folder)
{
    switch (fileKindAt(folder)) {
    case FileKind::Folder: return std::nullopt;
    case FileKind::Missing: {
        const QString above = QFileInfo(QDir::cleanPath(folder)).path();
        const FileKind kind = fileKindAt(above);
        if (kind == FileKind::Folder)
            return std::nullopt;
        if (kind == FileKind::Missing)
            return Failure{Failure::Kind::NoSuchFolder, QStringLiteral("\"%1\" does not exist").arg(readableName(above))};
        return notAFolder(above, kind == FileKind::Regular);
    }
    case FileKind::Regular: return notAFolder(folder, true);
    default: return notAFolder(folder, false);
    }
}

#ifdef Q_OS_UNIX

namespace {

// The folders from the set's own down to the one a file goes into, each
// held open, so that no link swapped in on the way is followed; and those
// made for the file, removed again when it is not written.
class FolderChain
{
public:
    ~FolderChain()
    {
        for (int fd : m_open)
            ::close(fd);
    }

    int last() const { return m_open.back(); }

    // Whether the folder the file goes into was removed while it was held
    // (by another thread of the run whose own file there failed).
    bool lastRemoved() const
    {
        struct stat info = {};
        return !m_open.empty() && ::fstat(last(), &info) == 0 && info.st_nlink == 0;
    }

    // The set's folder, made when missing: the user named it, so a link
    // to a folder is taken.
    std::optional<Failure> openSet(const QString &folder)
    {
        const QByteArray path = nativeName(folder);
        const bool made = ::mkdir(path.constData(), 0777) == 0;
        // Why it could not be made says more than that it is not there.
        const int makeError = made ? 0 : errno;
        const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            const int error = makeError != 0 && makeError != EEXIST && errno == ENOENT ? makeError : errno;
            if (made)
                ::rmdir(path.constData());
            return setFolderRefusal(folder).value_or(openFailureFor(folder, error));
        }
        m_open.push_back(fd);
        m_madeSet = made ? path : QByteArray();
        return std::nullopt;
    }

    // The folder `name` in the last one, made when missing, never through
    // a link; `shown` is how messages name it.
    std::optional<Failure> enter(const QByteArray &name, const QString &shown)
    {
        const bool made = ::mkdirat(last(), name.constData(), 0777) == 0;
        if (!made && errno != EEXIST)
            return Failure{Failure::Kind::Unusable, QStringLiteral("the folder \"%1\" cannot be made: %2")
                                                        .arg(readableName(shown), openFailureFor(shown, errno).reason)};
        const int fd = ::openat(last(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            const int error = errno;
            if (made) // made, yet it cannot be entered: the run leaves no folder it made
                ::unlinkat(last(), name.constData(), AT_REMOVEDIR);
            errno = error;
            struct stat info = {};
            if (::fstatat(last(), name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(info.st_mode))
                return S_ISLNK(info.st_mode) ? linkedFolder(shown) : notAFolder(shown, S_ISREG(info.st_mode));
            return openFailureFor(shown, errno);
        }
        if (made)
            m_made.push_back({last(), name});
        m_open.push_back(fd);
        return std::nullopt;
    }

    // The folders made, removed again when they are still empty.
    void removeMade()
    {
        for (auto made = m_made.rbegin(); made != m_made.rend(); ++made)
            ::unlinkat(made->first, made->second.constData(), AT_REMOVEDIR);
        if (!m_madeSet.isEmpty())
            ::rmdir(m_madeSet.constData());
    }

private:
    std::vector<int> m_open;
    std::vector<std::pair<int, QByteArray>> m_made;
    QByteArray m_madeSet;
};

// The target of the link `name` in `folder`, or nothing when it cannot be read.
std::optional<QString> linkTarget(int folder, const QByteArray &name)
{
    QByteArray target(PATH_MAX, '\0');
    const ssize_t length = ::readlinkat(folder, name.constData(), target.data(), size_t(target.size()));
    if (length <= 0 || length >= target.size())
        return std::nullopt;
    target.truncate(length);
    return nameFromNative(target);
}

// Why what is at `name` in `folder` may not be replaced by a file of the set.
std::optional<Failure> entryRefusal(int folder, const QByteArray &name, const OwnLink &ownLink)
{
    struct stat info = {};
    if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0 || S_ISREG(info.st_mode))
        return std::nullopt;
    if (S_ISDIR(info.st_mode))
        return Failure::isAFolder();
    if (!S_ISLNK(info.st_mode))
        return Failure::notARegularFile();
    const std::optional<QString> target = linkTarget(folder, name);
    const bool own = ownLink && target && plainParts(*target) && !target->contains(QLatin1Char('/'))
                     && ownLink(nameFromNative(name), *target);
    return own ? std::nullopt : std::optional<Failure>(linkedFile());
}

// One try at writing the file: false in `retry` unless the folder it went
// into was removed meanwhile, when a fresh try makes it again.
std::optional<Failure> tryWriting(const QString &folder, const QStringList *parts, const QByteArray &bytes,
                                  const OwnLink &ownLink, bool &retry)
{
    FolderChain chain;
    std::optional<Failure> failure = chain.openSet(folder);
    QDir shown(folder);
    for (qsizetype i = 0; !failure && i + 1 < parts->size(); ++i) {
        failure = chain.enter(nativeName((*parts)[i]), shown.filePath((*parts)[i]));
        shown.setPath(shown.filePath((*parts)[i]));
    }
    const QByteArray file = nativeName(parts->last());
    if (!failure)
        failure = entryRefusal(chain.last(), file, ownLink);
    if (!failure)
        failure = writeFileAtomicallyAt(chain.last(), file, bytes, shown.filePath(parts->last()));
    retry = failure && chain.lastRemoved();
    if (failure)
        chain.removeMade();
    return failure;
}

} // namespace

std::optional<Failure> writeFileInSet(const QString &folder, const QString &name, const QByteArray &bytes,
                                      const OwnLink &ownLink)
{
    const std::optional<QStringList> parts = plainParts(name);
    if (!parts)
        return Failure{Failure::Kind::Unusable, QStringLiteral("\"%1\" is no plain name").arg(readableName(name))};
    std::optional<Failure> failure;
    bool retry = true;
    for (int tries = 0; retry && tries < 3; ++tries)
        failure = tryWriting(folder, &*parts, bytes, ownLink, retry);
    return failure;
}

#else

std::optional<Failure> writeFileInSet(const QString &folder, const QString &name, const QByteArray &bytes,
                                      const OwnLink &ownLink)
{
    if (!plainParts(name))
        return Failure{Failure::Kind::Unusable, QStringLiteral("\"%1\" is no plain name").arg(readableName(name))};
    QDir shown(folder);
    const QStringList parts = name.split(QLatin1Char('/'));
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        shown.setPath(shown.filePath(parts[i]));
        if (QFileInfo(shown.path()).isSymLink())
            return linkedFolder(shown.path());
    }
    const QString path = QDir(folder).filePath(name);
    const QFileInfo info(path);
    if (info.isSymLink() && !(ownLink && ownLink(info.fileName(), info.symLinkTarget())))
        return linkedFile();
    if (std::optional<Failure> failure = makeFolders(info.path()))
        return failure;
    return writeFileAtomically(path, bytes);
}

#endif
