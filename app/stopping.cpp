#include "stopping.h"

#include "atomicfile.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <system_error>
#include <thread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <ctime>
#include <semaphore.h>
#include <unistd.h>
#endif

std::atomic<bool> stopRequested{false};

namespace {

// What is under way has a second to finish: most pictures take far less,
// and a user who pressed Ctrl-C wants the prompt back about then.
constexpr long graceMs = 1000;

volatile std::sig_atomic_t firstSignal = 0;
std::atomic<int> signalsTaken{0};
// Taken by whichever ends the run first: the run itself, or the watch.
std::atomic<bool> ending{false};
#ifdef Q_OS_UNIX
sem_t signalled; // posted by the handler, which may do little else
#endif

extern "C" void requestStop(int signal)
{
    if (firstSignal == 0)
        firstSignal = signal;
    stopRequested = true;
    ++signalsTaken;
#ifdef Q_OS_UNIX
    sem_post(&signalled);
#endif
}

#ifdef Q_OS_UNIX
// Writes the line straight to the stream's descriptor. The run flushes each
// of its lines as it prints it; should one be being printed, it is waited
// for a little, not for ever (its reader may have stopped reading).
void sayAtOnce(FILE *stream, const QByteArray &line)
{
    bool locked = false;
    for (int tries = 0; tries < 20 && !(locked = ::ftrylockfile(stream) == 0); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t written = ::write(::fileno(stream), line.constData() + done, size_t(line.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        done += written;
    }
    if (locked)
        ::funlockfile(stream);
}

// The first signal, then the grace or a second signal; then the end, unless
// the run has ended by itself.
void watch(FILE *messages, const std::function<QByteArray()> &interruption)
{
    while (sem_wait(&signalled) != 0)
        if (errno != EINTR)
            return;
    timespec deadline = {};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += (deadline.tv_nsec + graceMs * 1'000'000) / 1'000'000'000;
    deadline.tv_nsec = (deadline.tv_nsec + graceMs * 1'000'000) % 1'000'000'000;
    while (signalsTaken < 2)
        if (sem_timedwait(&signalled, &deadline) != 0 && errno != EINTR)
            break; // the grace is over
    if (ending.exchange(true))
        return;
    holdFilesBack();
    if (interruption)
        sayAtOnce(messages, interruption() + '\n');
    if (::ftrylockfile(stdout) == 0) { // what is listed so far, when it can be
        std::fflush(stdout);
        ::funlockfile(stdout);
    }
    std::_Exit(128 + firstSignal);
}
#endif

} // namespace

void stopOnSignals()
{
#ifdef Q_OS_UNIX
    sem_init(&signalled, 0, 0);
    struct sigaction action = {};
    action.sa_handler = requestStop;
    action.sa_flags = SA_RESTART; // a read or write under way goes on
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr); // the terminal closed
#else
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
#endif
}

void endAtOnceWhenStopping(FILE *messages, std::function<QByteArray()> interruption)
{
#ifdef Q_OS_UNIX
    try {
        std::thread(watch, messages, std::move(interruption)).detach();
    } catch (const std::system_error &) {
        // No thread to be had: the run ends when what is under way is done.
    }
#else
    Q_UNUSED(messages);
    Q_UNUSED(interruption);
#endif
}

int endingByItself()
{
    if (ending.exchange(true))
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(1)); // the watch is ending the program
    return firstSignal;
}
