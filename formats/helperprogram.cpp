#include "helperprogram.h"
#include "helperprocess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
extern char **environ;
#else
#include <QProcess>
#endif

namespace {

// The folder of the running program: also without an application object
// (a fuzz target, a test of the core alone).
QString programFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
#ifdef Q_OS_LINUX
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
#else
    return QDir::currentPath();
#endif
}

} // namespace

#ifdef Q_OS_UNIX

namespace helperprocess {

// The input as a file with no name, which the helper reads as its standard
// input: nothing to write into a pipe while it may not read, so neither
// side can wait on the other.
int inputFile(const QByteArray &input)
{
#ifdef Q_OS_LINUX
    int fd = ::memfd_create("tervana-helper-input", MFD_CLOEXEC);
#else
    char name[] = "/tmp/tervana-helper-XXXXXX";
    int fd = ::mkstemp(name);
    if (fd >= 0)
        ::unlink(name);
#endif
    if (fd < 0)
        return -1;
    qint64 written = 0;
    while (written < input.size()) {
        const ssize_t n = ::write(fd, input.constData() + written, size_t(input.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        written += n;
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

// Its own process group, so that the terminal's Ctrl-C reaches the caller,
// which decides; every signal at its default and none blocked.
pid_t spawn(const QByteArray &path, const QStringList &arguments, int in, int out, int err)
{
    std::vector<QByteArray> storage{path};
    for (const QString &argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34)
    // Files the caller has open for other pictures are none of its business.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    pid_t pid = -1;
    if (posix_spawn(&pid, path.constData(), &actions, &attributes, argv.data(), environ) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool readAvailable(int fd, QByteArray &into, qint64 limit, bool &overflowed)
{
    char piece[64 * 1024];
    const ssize_t n = ::read(fd, piece, sizeof piece);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN;
    if (n == 0)
        return false;
    const qint64 room = limit - into.size();
    if (n > room)
        overflowed = true;
    into.append(piece, qsizetype(std::min<qint64>(n, std::max<qint64>(room, 0))));
    return true;
}

std::chrono::milliseconds workDoneBy(pid_t pid)
{
#ifdef Q_OS_LINUX
    // Fields 14 and 15 of /proc/PID/stat (user and system time in clock
    // ticks) follow the program's name in parentheses, which may hold
    // spaces or parentheses itself.
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    const Descriptor stat(::open(path, O_RDONLY | O_CLOEXEC));
    char text[1024];
    const ssize_t length = stat.get() < 0 ? -1 : ::read(stat.get(), text, sizeof text - 1);
    if (length <= 0)
        return std::chrono::milliseconds(-1);
    text[length] = '\0';
    const char *afterName = std::strrchr(text, ')');
    unsigned long user = 0;
    unsigned long system = 0;
    if (!afterName || std::sscanf(afterName + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) != 2)
        return std::chrono::milliseconds(-1);
    return std::chrono::milliseconds((user + system) * 1000 / std::max(1L, ::sysconf(_SC_CLK_TCK)));
#else
    (void)pid;
    return std::chrono::milliseconds(-1);
#endif
}

bool budgetSpent(pid_t pid, Clock::time_point started, HelperBudget budget, std::chrono::milliseconds workBefore)
{
    const auto onTheClock = Clock::now() - started;
    if (onTheClock >= budget.clock)
        return true;
    const std::chrono::milliseconds work = workDoneBy(pid);
    return work.count() >= 0 ? work - workBefore >= budget.work : onTheClock >= budget.work;
}

int reap(pid_t pid, bool endNow, Clock::time_point started, HelperBudget budget, bool &timedOut)
{
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return status;
        if (done < 0 && errno != EINTR)
            return -1;
        if (endNow || budgetSpent(pid, started, budget)) {
            timedOut = !endNow;
            ::kill(-pid, SIGKILL); // its process group: whatever it started too
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return status;
        }
        ::usleep(1000);
    }
}

} // namespace helperprocess

using namespace helperprocess;

#endif

QString helperPath(const char *name)
{
    // A program of the build tree (the programs, the tests, the benchmark,
    // in folders of the tree) runs the tree's own helper; an installed one
    // finds the helpers' folder from its own (bin/). Nowhere else is
    // looked at: a folder beside the build tree may be anybody's.
    const QString folder = QDir::cleanPath(programFolder());
    const QString buildTree = QDir::cleanPath(QStringLiteral(TERVANA_BUILD_TREE));
    const bool inBuildTree = folder == buildTree || folder.startsWith(buildTree + QLatin1Char('/'));
    const QString helpers = inBuildTree ? QDir(buildTree).filePath(QStringLiteral(TERVANA_HELPER_FOLDER))
                                        : QDir(folder).filePath(QStringLiteral(TERVANA_HELPERS_FROM_PROGRAMS));
    const QString path = QDir::cleanPath(helpers + QLatin1Char('/') + QLatin1String(name));
    return QFileInfo(path).isExecutable() ? path : QString();
}

#ifdef Q_OS_UNIX

namespace {

// How the reading of a helper's output ended: its output too long, its
// budget spent, or its output and errors still open.
struct HelperReading
{
    bool overflowed = false;
    bool spent = false;
    bool outOpen = true;
    bool errOpen = true;
};

// What the helper writes, read as it comes, a look at its budget every
// 10 ms.
HelperReading readOutput(pid_t pid, int out, int err, Clock::time_point started, HelperBudget budget,
                         qint64 outputLimit, HelperRun &run)
{
    HelperReading read;
    bool errorsOverflowed = false;
    while ((read.outOpen || read.errOpen) && !read.overflowed
           && !(read.spent = budgetSpent(pid, started, budget))) {
        pollfd fds[2] = {{read.outOpen ? out : -1, POLLIN, 0}, {read.errOpen ? err : -1, POLLIN, 0}};
        if (::poll(fds, 2, 10) < 0 && errno != EINTR)
            break;
        if (read.outOpen && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            read.outOpen = readAvailable(out, run.output, outputLimit, read.overflowed);
        if (read.errOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            read.errOpen = readAvailable(err, run.errors, 8 * 1024, errorsOverflowed);
    }
    return read;
}

// How the run ended, from its reading and its exit status.
void setEnding(HelperRun &run, const HelperReading &read, bool timedOut, int status)
{
    if (read.overflowed)
        run.ending = HelperRun::Ending::TooMuchOutput;
    else if (read.spent || timedOut || read.outOpen || read.errOpen)
        run.ending = HelperRun::Ending::TimedOut;
    else if (WIFSIGNALED(status))
        run.ending = HelperRun::Ending::Crashed;
    else if (WIFEXITED(status)) {
        run.ending = HelperRun::Ending::Finished;
        run.exitCode = WEXITSTATUS(status);
    }
}

} // namespace

HelperRun runHelper(const char *name, const QStringList &arguments, const QByteArray &input, HelperBudget budget,
                    qint64 outputLimit)
{
    HelperRun run;
    const Clock::time_point started = Clock::now();
    const QString path = helperPath(name);
    int outPipe[2];
    int errPipe[2];
    if (path.isEmpty() || ::pipe2(outPipe, O_CLOEXEC) != 0)
        return run;
    Descriptor outRead(outPipe[0]);
    Descriptor outWrite(outPipe[1]);
    if (::pipe2(errPipe, O_CLOEXEC) != 0)
        return run;
    Descriptor errRead(errPipe[0]);
    Descriptor errWrite(errPipe[1]);
    const Descriptor in(inputFile(input));
    if (in.get() < 0)
        return run;
    const pid_t pid = spawn(QFile::encodeName(path), arguments, in.get(), outWrite.get(), errWrite.get());
    if (pid < 0)
        return run;
    outWrite.reset();
    errWrite.reset();

    const HelperReading read = readOutput(pid, outRead.get(), errRead.get(), started, budget, outputLimit, run);
    // With its output closed it has nothing more to say: it ends at once,
    // or is ended after a second on the clock, whatever its budget.
    const HelperBudget ending{budget.work, std::min<std::chrono::milliseconds>(
                                               budget.clock, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                                 Clock::now() - started) + std::chrono::seconds(1))};
    bool timedOut = false;
    const int status = reap(pid, read.overflowed || read.spent, started, ending, timedOut);
    setEnding(run, read, timedOut, status);
    return run;
}

#else

HelperRun runHelper(const char *name, const QStringList &arguments, const QByteArray &input, HelperBudget budget,
                    qint64 outputLimit)
{
    HelperRun run;
    const QString path = helperPath(name);
    if (path.isEmpty())
        return run;
    QProcess process;
    process.start(path, arguments);
    if (!process.waitForStarted(int(budget.work.count())))
        return run;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(int(budget.work.count()))) {
        process.kill();
        process.waitForFinished();
        run.ending = HelperRun::Ending::TimedOut;
        return run;
    }
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError().left(8 * 1024);
    if (run.output.size() > outputLimit)
        run.ending = HelperRun::Ending::TooMuchOutput;
    else if (process.exitStatus() == QProcess::CrashExit)
        run.ending = HelperRun::Ending::Crashed;
    else {
        run.ending = HelperRun::Ending::Finished;
        run.exitCode = process.exitCode();
    }
    return run;
}

#endif
