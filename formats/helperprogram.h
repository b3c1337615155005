#pragma once

#include <QByteArray>
#include <QStringList>

#include <chrono>
#include <memory>

// Tervana's helper programs, which do work that must not harm the program
// that asks for it (drawing an SVG whose cost cannot be told in advance):
// each runs in a process of its own, bounded in time and in what it may
// write back, and dies with its caller.

// How one run of a helper ended.
struct HelperRun
{
    enum class Ending {
        Finished,
        // Still running when its time was up; it was stopped.
        TimedOut,
        // Ended by a signal (a crash, or a limit of the system's).
        Crashed,
        // It wrote more than it may; it was stopped.
        TooMuchOutput,
        // The helper program is not installed where it belongs, or cannot run.
        Missing,
    };
    Ending ending = Ending::Missing;
    int exitCode = -1;
    QByteArray output;
    // The start of what it wrote on its standard error.
    QByteArray errors;
};

// How long a helper may run. Its work is counted in processor time where
// the system tells it (Linux), so that a busy machine does not change what
// a helper is allowed to do; elsewhere on the clock.
struct HelperBudget
{
    std::chrono::milliseconds work;
    // However busy the machine, no run takes longer than this on the clock.
    std::chrono::milliseconds clock;
};

// Runs the helper program `name` with `arguments`, `input` on its standard
// input, and collects its standard output, up to `outputLimit` bytes,
// within `budget`.
HelperRun runHelper(const char *name, const QStringList &arguments, const QByteArray &input, HelperBudget budget,
                    qint64 outputLimit);

// Where the helper program `name` is: in the helpers' folder beside the
// running program's (libexec/tervana/ as installed, or in the build tree),
// or empty when it is not there.
QString helperPath(const char *name);

// A helper program started once for many requests, each answered in turn:
// a program that draws a hundred drawings starts its helper once, not a
// hundred times. Each request is held to its own budget, counted from
// when it is sent; a helper that overruns it, crashes, or says more than
// it may is ended, and the next request starts a fresh one. Requests and
// answers are framed alike: the length in decimal digits, a line feed,
// then that many bytes. Used by one thread at a time.
class HelperSession
{
public:
    HelperSession(const char *name, QStringList arguments);
    ~HelperSession();
    HelperSession(const HelperSession &) = delete;
    HelperSession &operator=(const HelperSession &) = delete;

    // Sends a request, `head` then `body` (a long document, sent as it
    // stands rather than copied into one message), and waits for its
    // answer, which the run's output holds alone (Finished, exit code 0);
    // any other ending says what went wrong, and the helper is gone.
    HelperRun ask(const QByteArray &head, const QByteArray &body, HelperBudget budget, qint64 outputLimit);
    // Whether the next request goes to a helper that has answered none.
    bool isFresh() const { return m_answered == 0; }
    // Ends the helper: the next request starts a fresh one.
    void restart();

private:
    struct Process;
    bool start();

    const char *m_name;
    QStringList m_arguments;
    std::unique_ptr<Process> m_process;
    int m_answered = 0;
};
