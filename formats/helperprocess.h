#pragma once

#include "helperprogram.h"

#include <QByteArray>
#include <QStringList>

#include <chrono>

#ifdef Q_OS_UNIX
#include <sys/types.h>
#include <unistd.h>

// What a run of a helper and a session with one share: starting the
// process, reading what it writes, counting its work and ending it.
namespace helperprocess {

using Clock = std::chrono::steady_clock;

// A file descriptor closed when it goes.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// Starts the helper at `path` with its standard input, output and error
// given, in a process group of its own; -1 when it cannot start.
pid_t spawn(const QByteArray &path, const QStringList &arguments, int in, int out, int err);
// Reads what is there on `fd` into `into`, up to `limit` bytes kept;
// false once the other end is closed.
bool readAvailable(int fd, QByteArray &into, qint64 limit, bool &overflowed);
// The processor time the process has used so far, or -1 where the system
// does not tell it.
std::chrono::milliseconds workDoneBy(pid_t pid);
// Whether the helper has used up its budget since `started`, when it had
// done `workBefore`: its work, or its time on the clock.
bool budgetSpent(pid_t pid, Clock::time_point started, HelperBudget budget,
                 std::chrono::milliseconds workBefore = std::chrono::milliseconds(0));
// Waits for the helper to end; ends it at once when told to, or when its
// budget is spent.
int reap(pid_t pid, bool endNow, Clock::time_point started, HelperBudget budget, bool &timedOut);

} // namespace helperprocess
#endif
