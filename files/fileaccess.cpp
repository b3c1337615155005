#include "fileaccess.h"

#include <QFileInfo>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

fs::path toPath(const QString &path)
{
#ifdef Q_OS_WIN
    return fs::path(path.toStdWString());
#else
    return fs::path(QFile::encodeName(path).toStdString());
#endif
}

bool folderExists(const QString &path)
{
    std::error_code ec;
    return fs::is_directory(toPath(QFileInfo(path).absolutePath()), ec);
}

// The failure a system error stands for, in the classic numbers and in
// plain words.
VbError failureFor(std::error_code ec, const QString &path)
{
    const std::error_condition condition = ec.default_error_condition();
    if (condition == std::errc::no_such_file_or_directory)
        return folderExists(path) ? VbError::fileNotFound() : VbError::pathNotFound();
    if (condition == std::errc::not_a_directory)
        return {76, QStringLiteral("Path not found"), QStringLiteral("a folder on its path is a file")};
    if (condition == std::errc::permission_denied || condition == std::errc::operation_not_permitted
        || condition == std::errc::read_only_file_system)
        return VbError::permissionDenied();
    if (condition == std::errc::filename_too_long)
        return VbError::badFileName();
    if (condition == std::errc::no_space_on_device || condition == std::errc::file_too_large)
        return VbError::diskFull();
    if (condition == std::errc::is_a_directory)
        return VbError::pathFileAccess(QStringLiteral("it is a folder"));
    if (condition == std::errc::too_many_symbolic_link_levels)
        return VbError::pathFileAccess(QStringLiteral("its symbolic links lead round in a circle"));
    if (condition == std::errc::no_such_device_or_address)
        return VbError::pathFileAccess(QStringLiteral("nothing is reading from it"));
    if (condition == std::errc::broken_pipe)
        return VbError::pathFileAccess(QStringLiteral("what was reading from it stopped"));
    return VbError::pathFileAccess(QString::fromLocal8Bit(ec.message()).toLower());
}

VbError failureForKind(FileKind kind)
{
    switch (kind) {
    case FileKind::Folder: return VbError::pathFileAccess(QStringLiteral("it is a folder"));
    case FileKind::Stream:
    case FileKind::Other: return VbError::pathFileAccess(QStringLiteral("it is not a regular file"));
    case FileKind::Missing:
    case FileKind::Regular: break;
    }
    return VbError::none();
}

FileKind kindOf(fs::file_type type)
{
    switch (type) {
    case fs::file_type::not_found: return FileKind::Missing;
    case fs::file_type::regular: return FileKind::Regular;
    case fs::file_type::directory: return FileKind::Folder;
    case fs::file_type::character:
    case fs::file_type::fifo: return FileKind::Stream;
    default: return FileKind::Other;
    }
}

#ifdef Q_OS_UNIX
std::error_code lastError()
{
    return std::error_code(errno, std::generic_category());
}

FileKind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Folder;
    if (S_ISCHR(mode) || S_ISFIFO(mode))
        return FileKind::Stream;
    return FileKind::Other;
}

// Opens without waiting (a pipe with no writer, a device that blocks) and
// without becoming the terminal's owner, then checks what was opened.
int openWithoutWaiting(const QString &path, int access, FileKind wanted, VbError &failure)
{
    const int fd = ::open(QFile::encodeName(path).constData(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        failure = failureFor(lastError(), path);
        return -1;
    }
    struct stat info = {};
    const FileKind kind = ::fstat(fd, &info) == 0 ? kindOf(info.st_mode) : FileKind::Other;
    if (kind != wanted) {
        ::close(fd);
        failure = failureForKind(kind);
        return -1;
    }
    // From here on reads and writes wait as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}
#endif

} // namespace

FileKind fileKindAt(const QString &path)
{
    std::error_code ec;
    return kindOf(fs::status(toPath(path), ec).type());
}

VbError openRegularFile(const QString &path, QFile &file)
{
    if (path.isEmpty())
        return VbError::fileNotFound();
#ifdef Q_OS_UNIX
    VbError failure;
    const int fd = openWithoutWaiting(path, O_RDONLY, FileKind::Regular, failure);
    if (fd < 0)
        return failure;
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return VbError::pathFileAccess(file.errorString());
    }
    return VbError::none();
#else
    std::error_code ec;
    const fs::file_status status = fs::status(toPath(path), ec);
    if (ec)
        return failureFor(ec, path);
    if (const VbError failure = failureForKind(kindOf(status.type())))
        return failure;
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return QFileInfo(path).isReadable() ? VbError::pathFileAccess(file.errorString())
                                            : VbError::permissionDenied();
    return VbError::none();
#endif
}

VbError writeFailureFor(const QString &path)
{
    if (path.isEmpty())
        return VbError::pathFileAccess(QStringLiteral("no file name was given"));
    std::error_code ec;
    const fs::file_status status = fs::status(toPath(path), ec);
    if (ec && status.type() != fs::file_type::not_found)
        return failureFor(ec, path);
    if (const VbError failure = failureForKind(kindOf(status.type())))
        return failure;
    if (!folderExists(path))
        return failureFor(std::make_error_code(std::errc::no_such_file_or_directory), path);
    const QFileInfo info(path);
    if ((info.exists() && !info.isWritable()) || !QFileInfo(info.absolutePath()).isWritable())
        return VbError::permissionDenied();
    return VbError::pathFileAccess();
}

VbError writeIntoStream(const QString &path, const QByteArray &bytes)
{
#ifdef Q_OS_UNIX
    VbError failure;
    const int fd = openWithoutWaiting(path, O_WRONLY, FileKind::Stream, failure);
    if (fd < 0)
        return failure;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            failure = failureFor(written < 0 ? lastError() : std::make_error_code(std::errc::no_space_on_device), path);
            ::close(fd);
            return failure;
        }
        done += written;
    }
    return ::close(fd) == 0 ? VbError::none() : failureFor(lastError(), path);
#else
    Q_UNUSED(bytes);
    return failureForKind(fileKindAt(path));
#endif
}

#ifdef Q_OS_UNIX
namespace {

// A file is its device and inode number.
QString keyOf(const struct stat &file)
{
    return QStringLiteral("%1:%2").arg(quint64(file.st_dev)).arg(quint64(file.st_ino));
}

} // namespace
#endif

QString existingFileKey(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat file = {};
    return ::stat(QFile::encodeName(path).constData(), &file) == 0 ? keyOf(file) : QString();
#else
    return QFileInfo(path).canonicalFilePath();
#endif
}

QString standardOutputKey()
{
#ifdef Q_OS_UNIX
    struct stat output = {};
    return ::fstat(STDOUT_FILENO, &output) == 0 ? keyOf(output) : QString();
#else
    return QString();
#endif
}
