#include "atomicfile.h"

#include "fileaccess.h"
#include "nativename.h"

#ifdef Q_OS_UNIX
#include <QRandomGenerator>

#include <shared_mutex>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QSaveFile>
#endif

#ifdef Q_OS_UNIX
namespace {

// Taken, shared, while a whole file is put in its place; for good by
// holdFilesBack().
std::shared_mutex &placing()
{
    static std::shared_mutex mutex;
    return mutex;
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray baseOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

QByteArray hiddenName()
{
    return ".tervana-" + QByteArray::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFFF, 36);
}

// The file a name leads to: through symbolic links, the file they point
// at is replaced (or made, for a link to nothing yet) and the links kept.
QByteArray fileLedTo(QByteArray path)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat link = {};
        if (::lstat(path.constData(), &link) != 0 || !S_ISLNK(link.st_mode))
            return path;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.constData(), target.data(), size_t(target.size()));
        if (length <= 0 || length >= target.size())
            return path;
        target.truncate(length);
        path = target.startsWith('/') ? target : folderOf(path) + '/' + target;
    }
    return path;
}

// A new file in `folder`, with the permissions of the regular file it
// replaces, or the user's usual ones for a new file. Where the system
// allows, it has no name until it is whole (O_TMPFILE), so that nothing is
// left behind whenever the program stops; elsewhere it is named ".tervana-"
// and a random part (a 255-byte name leaves no room to add to it).
int createIn(int folder, const QByteArray &target, QByteArray &created)
{
    struct stat earlier = {};
    const bool replaces = ::fstatat(folder, target.constData(), &earlier, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(earlier.st_mode);
    const auto withPermissions = [&](int fd) {
        if (fd >= 0 && replaces)
            ::fchmod(fd, earlier.st_mode & 07777);
        return fd;
    };
#ifdef O_TMPFILE
    created.clear();
    // Linked in through /proc, which must be there.
    if (::access("/proc/self/fd", F_OK) == 0)
        if (const int fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666); fd >= 0)
            return withPermissions(fd);
#endif
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = hiddenName();
        const int fd = ::openat(folder, created.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        return withPermissions(fd);
    }
    return -1;
}

// Puts the whole new file in the target's place: a nameless one is linked
// in (under a hidden name first when the target exists, since a link does
// not replace), then renamed over the target in one step. The rename
// replaces the name itself: a link there is replaced, not followed.
bool putInPlace(int fd, int folder, QByteArray &created, const QByteArray &target)
{
    if (created.isEmpty()) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        if (::linkat(AT_FDCWD, self.constData(), folder, target.constData(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        for (int attempt = 0; created.isEmpty() && attempt < 100; ++attempt) {
            const QByteArray name = hiddenName();
            if (::linkat(AT_FDCWD, self.constData(), folder, name.constData(), AT_SYMLINK_FOLLOW) == 0)
                created = name;
            else if (errno != EEXIST)
                return false;
        }
    }
    return !created.isEmpty() && ::renameat(folder, created.constData(), folder, target.constData()) == 0;
}

// Writes all of `bytes`; false when the disk (or the file size limit) takes
// less, or the write fails.
bool writeAll(int fd, const QByteArray &bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

// The new content goes into a file of its own in the same folder, reaches
// the disk, and then takes the old one's place in one rename: whoever reads
// the file, and whenever the system stops, finds the old file or the new.
std::optional<Failure> writeFileAtomicallyAt(int folder, const QByteArray &name, const QByteArray &bytes,
                                             const QString &shownPath)
{
    // A rename needs only the folder's permission; a file the user may not
    // write is not replaced.
    struct stat earlier = {};
    if (::fstatat(folder, name.constData(), &earlier, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(earlier.st_mode)
        && ::faccessat(folder, name.constData(), W_OK, 0) != 0)
        return writeFailureFor(shownPath);
    QByteArray created;
    const int fd = createIn(folder, name, created);
    if (fd < 0)
        return writeFailureFor(shownPath);
    const auto abandon = [&] {
        ::close(fd);
        if (!created.isEmpty())
            ::unlinkat(folder, created.constData(), 0);
    };
    if (!writeAll(fd, bytes) || ::fdatasync(fd) != 0) {
        abandon();
        return Failure::diskFull();
    }
    const std::shared_lock<std::shared_mutex> hold(placing());
    if (!putInPlace(fd, folder, created, name)) {
        abandon();
        return writeFailureFor(shownPath);
    }
    ::close(fd); // the data reached the disk before the file took its place
    return std::nullopt;
}

std::optional<Failure> writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return writeFailureFor(path);
    const QByteArray target = fileLedTo(nativeName(path));
    const int folder = ::open(folderOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return writeFailureFor(path);
    std::optional<Failure> failure = writeFileAtomicallyAt(folder, baseOf(target), bytes, path);
    ::close(folder);
    return failure;
}

void holdFilesBack()
{
    placing().lock();
}

#else

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

void holdFilesBack()
{
}

#endif

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
