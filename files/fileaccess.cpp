#include "fileaccess.h"

#include "nativename.h"

#include <QFileInfo>

#include <algorithm>
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
    return fs::path(nativeName(path).toStdString());
#endif
}

bool folderExists(const QString &path)
{
    std::error_code ec;
    return fs::is_directory(toPath(QFileInfo(path).absolutePath()), ec);
}

// Whether the user may replace the file at `path`, or make it.
bool mayWrite(const QString &path)
{
    const QFileInfo info(path);
#ifdef Q_OS_UNIX
    const bool exists = ::access(nativeName(path).constData(), F_OK) == 0;
    if (exists && ::access(nativeName(path).constData(), W_OK) != 0)
        return false;
    return ::access(nativeName(info.absolutePath()).constData(), W_OK) == 0;
#else
    return (!info.exists() || info.isWritable()) && QFileInfo(info.absolutePath()).isWritable();
#endif
}

Failure noSuchFileAt(const QString &path)
{
    return folderExists(path) ? Failure::noSuchFile() : Failure::noSuchFolder();
}

// What the system errors a file operation meets stand for.
struct KnownError
{
    std::errc error;
    Failure failure;
};
const KnownError knownErrors[] = {
    {std::errc::not_a_directory, {Failure::Kind::NoSuchFolder, QStringLiteral("a folder on its path is a file")}},
    {std::errc::permission_denied, Failure::permissionDenied()},
    {std::errc::operation_not_permitted, Failure::permissionDenied()},
    {std::errc::read_only_file_system, Failure::permissionDenied()},
    {std::errc::filename_too_long, {Failure::Kind::NameTooLong, QStringLiteral("its name is too long")}},
    {std::errc::no_space_on_device, Failure::diskFull()},
    {std::errc::file_too_large, Failure::diskFull()},
    {std::errc::is_a_directory, Failure::isAFolder()},
    {std::errc::too_many_symbolic_link_levels, {Failure::Kind::Unusable, QStringLiteral("its symbolic links lead round in a circle")}},
    {std::errc::no_such_device_or_address, {Failure::Kind::Unusable, QStringLiteral("nothing is reading from it")}},
    {std::errc::broken_pipe, {Failure::Kind::Unusable, QStringLiteral("what was reading from it stopped")}},
};

// The failure a system error stands for, in plain words.
Failure failureFor(std::error_code ec, const QString &path)
{
    const std::error_condition condition = ec.default_error_condition();
    if (condition == std::errc::no_such_file_or_directory)
        return noSuchFileAt(path);
    for (const KnownError &known : knownErrors)
        if (condition == known.error)
            return known.failure;
    return {Failure::Kind::Unusable, QString::fromLocal8Bit(ec.message()).toLower()};
}

std::optional<Failure> failureForKind(FileKind kind)
{
    switch (kind) {
    case FileKind::Folder: return Failure::isAFolder();
    case FileKind::Stream:
    case FileKind::Other: return Failure::notARegularFile();
    case FileKind::Missing:
    case FileKind::Regular: break;
    }
    return std::nullopt;
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
int openWithoutWaiting(const QString &path, int access, FileKind wanted, std::optional<Failure> &failure)
{
    const int fd = ::open(nativeName(path).constData(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
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

std::optional<Failure> openRegularFile(const QString &path, QFile &file)
{
    if (path.isEmpty())
        return Failure::noSuchFile();
#ifdef Q_OS_UNIX
    std::optional<Failure> failure;
    const int fd = openWithoutWaiting(path, O_RDONLY, FileKind::Regular, failure);
    if (fd < 0)
        return failure;
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Failure{Failure::Kind::Unusable, file.errorString()};
    }
    return std::nullopt;
#else
    std::error_code ec;
    const fs::file_status status = fs::status(toPath(path), ec);
    if (ec)
        return failureFor(ec, path);
    if (std::optional<Failure> failure = failureForKind(kindOf(status.type())))
        return failure;
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return QFileInfo(path).isReadable() ? Failure{Failure::Kind::Unusable, file.errorString()} : Failure::permissionDenied();
    return std::nullopt;
#endif
}

QByteArray readUpTo(QIODevice &device, qint64 limit)
{
    // What a file holds is known; what a pipe or buffer will give is read
    // a piece at a time.
    QByteArray bytes;
    if (!device.isSequential())
        bytes.reserve(qsizetype(std::clamp<qint64>(device.size() - device.pos(), 0, limit)));
    char piece[64 * 1024];
    while (bytes.size() < limit) {
        const qint64 read = device.read(piece, std::min<qint64>(sizeof piece, limit - bytes.size()));
        if (read <= 0)
            break;
        bytes.append(piece, qsizetype(read));
    }
    return bytes;
}

Failure openFailureFor(const QString &path, int errorNumber)
{
    return failureFor(std::error_code(errorNumber, std::generic_category()), path);
}

Failure writeFailureFor(const QString &path)
{
    if (path.isEmpty())
        return {Failure::Kind::Unusable, QStringLiteral("no file name was given")};
    std::error_code ec;
    const fs::file_status status = fs::status(toPath(path), ec);
    if (ec && status.type() != fs::file_type::not_found)
        return failureFor(ec, path);
    if (std::optional<Failure> failure = failureForKind(kindOf(status.type())))
        return *failure;
    if (!folderExists(path))
        return noSuchFileAt(path);
    if (!mayWrite(path))
        return Failure::permissionDenied();
    return {Failure::Kind::Unusable, QStringLiteral("it cannot be written")};
}

std::optional<Failure> writeIntoStream(const QString &path, const QByteArray &bytes)
{
#ifdef Q_OS_UNIX
    std::optional<Failure> failure;
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
    if (::close(fd) != 0)
        return failureFor(lastError(), path);
    return std::nullopt;
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

std::optional<QString> existingKey(const QString &path)
{
    struct stat file = {};
    if (::stat(nativeName(path).constData(), &file) != 0)
        return std::nullopt;
    return keyOf(file);
}

} // namespace
#else
namespace {

std::optional<QString> existingKey(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? std::nullopt : std::optional<QString>(canonical);
}

} // namespace
#endif

FileIdentity fileIdentity(const QString &path)
{
    if (std::optional<QString> key = existingKey(path))
        return {*key, true};
    const QFileInfo info(path);
    if (std::optional<QString> folder = existingKey(info.absolutePath()))
        return {*folder + QLatin1Char('/') + info.fileName(), false};
    return {info.absoluteFilePath(), false};
}

QString openedFileLocation(const QFile &file)
{
#ifdef Q_OS_LINUX
    const QString link = QStringLiteral("/proc/self/fd/%1").arg(file.handle());
    const QString opened = QFileInfo(link).symLinkTarget();
    if (file.handle() >= 0 && !opened.isEmpty())
        return opened;
#endif
    return QFileInfo(file.fileName()).canonicalFilePath();
}

namespace {

// The identity of the file a descriptor of the process is open on.
std::optional<QString> descriptorIdentity([[maybe_unused]] int descriptor)
{
#ifdef Q_OS_UNIX
    struct stat status = {};
    if (::fstat(descriptor, &status) == 0)
        return keyOf(status);
#endif
    return std::nullopt;
}

} // namespace

std::optional<QString> standardInputIdentity()
{
    return descriptorIdentity(0); // standard input, on every system
}

std::optional<QString> standardOutputIdentity()
{
    return descriptorIdentity(1); // standard output
}
