#include "atomicfile.h"

#include "fileaccess.h"
#include "nativename.h"

#ifdef Q_OS_UNIX
#include <QRandomGenerator>

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

// The file a name leads to: through a symbolic link, the file it points
// at is replaced and the link kept.
QByteArray fileLedTo(const QByteArray &path)
{
    struct stat link = {};
    char resolved[PATH_MAX];
    if (::lstat(path.constData(), &link) == 0 && S_ISLNK(link.st_mode) && ::realpath(path.constData(), resolved))
        return QByteArray(resolved);
    return path;
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

// A new file beside `target`, under a short name of its own (a 255-byte
// name leaves no room to add to it), with the permissions of the file it
// replaces, or the user's usual ones for a new file.
int createBeside(const QByteArray &target, QByteArray &created)
{
    struct stat earlier = {};
    const bool replaces = ::stat(target.constData(), &earlier) == 0 && S_ISREG(earlier.st_mode);
    for (int attempt = 0; attempt < 100; ++attempt) {
        created = folderOf(target) + "/.tervana-" +
                  QByteArray::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFFF, 36);
        const int fd = ::open(created.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd >= 0 && replaces)
            ::fchmod(fd, earlier.st_mode & 07777);
        return fd;
    }
    return -1;
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

// The new content goes into a file of its own beside the old one, reaches
// the disk, and then takes the old one's place in one rename: whoever reads
// the file, and whenever the system stops, finds the old file or the new.
std::optional<Failure> writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return writeFailureFor(path);
    const QByteArray target = fileLedTo(nativeName(path));
    // A rename needs only the folder's permission; a file the user may not
    // write is not replaced.
    if (::access(target.constData(), F_OK) == 0 && ::access(target.constData(), W_OK) != 0)
        return writeFailureFor(path);
    QByteArray created;
    const int fd = createBeside(target, created);
    if (fd < 0)
        return writeFailureFor(path);
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        ::unlink(created.constData());
        return Failure::diskFull();
    }
    if (::rename(created.constData(), target.constData()) != 0) {
        ::unlink(created.constData());
        return writeFailureFor(path);
    }
    return std::nullopt;
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
