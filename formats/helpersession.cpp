// A helper program started once and asked many times (helperprogram.h).

#include "helperprocess.h"
#include "helperprogram.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#endif

namespace {

// The start of a message of `head` then `body` as the helper and its
// caller frame it: its length, a line feed, then its bytes.
QByteArray framedHead(const QByteArray &head, const QByteArray &body)
{
    return QByteArray::number(head.size() + body.size()) + '\n' + head;
}

// The longest length line: 19 digits and its line feed.
constexpr qsizetype longestLengthLine = 20;

} // namespace

#ifdef Q_OS_UNIX

using namespace helperprocess;

// The running helper: its process, the socket that is its standard input
// and output, and the pipe of its standard error.
struct HelperSession::Process
{
    pid_t pid = -1;
    Descriptor channel;
    Descriptor errors;

    ~Process() { end(); }
    // Ends it, whatever it is doing, and returns how it ended.
    int end()
    {
        int status = 0;
        if (pid <= 0)
            return status;
        ::kill(-pid, SIGKILL); // its process group: whatever it started too
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = -1;
        return status;
    }
    // Whether it has ended by itself since it last answered (it ends
    // after a while with nothing to do).
    bool hasEnded()
    {
        int status = 0;
        return ::waitpid(pid, &status, WNOHANG) == pid ? (pid = -1, true) : false;
    }
};

namespace {

// One request sent and its answer read, as they go.
struct Exchange
{
    // The framed head, then the body, sent in turn.
    QByteArray request[2];
    int sending = 0;
    qint64 sent = 0; // of the piece being sent
    QByteArray answer;
    qint64 length = -1; // of the answer's message, once its line is read
    qsizetype messageStart = 0;
    bool closed = false;
    bool overflowed = false;
    bool spent = false;

    bool isAnswered() const { return length >= 0 && answer.size() - messageStart >= length; }
};

// Reads the answer's length line once it has come; false when what came
// is no length.
bool readLength(Exchange &exchange)
{
    if (exchange.length >= 0)
        return true;
    const qsizetype end = exchange.answer.indexOf('\n');
    if (end < 0)
        return exchange.answer.size() < longestLengthLine;
    bool number = false;
    exchange.length = exchange.answer.left(end).toLongLong(&number);
    exchange.messageStart = end + 1;
    return number && exchange.length >= 0;
}

// Room for the whole answer once its length is known and allowed, so
// that it is not copied again as it grows.
void makeRoom(Exchange &exchange, qint64 outputLimit)
{
    if (exchange.length >= 0 && exchange.length <= outputLimit)
        exchange.answer.reserve(exchange.messageStart + exchange.length);
}

// Whether some of the request is still to be sent.
bool isSending(const Exchange &exchange)
{
    return exchange.sending < 2;
}

// Sends what the socket takes of the rest of the request.
void sendSome(int channel, Exchange &exchange)
{
    const QByteArray &piece = exchange.request[exchange.sending];
    const ssize_t n = ::send(channel, piece.constData() + exchange.sent, size_t(piece.size() - exchange.sent),
                             MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0)
        exchange.sent += n;
    else if (errno != EINTR && errno != EAGAIN)
        exchange.closed = true;
    while (isSending(exchange) && exchange.sent == exchange.request[exchange.sending].size()) {
        ++exchange.sending;
        exchange.sent = 0;
    }
}

// One look at the socket and the error pipe: sends, reads, and notes what
// ended the exchange.
void stepExchange(int channel, int errors, Exchange &exchange, qint64 outputLimit, HelperRun &run)
{
    const bool sending = isSending(exchange);
    pollfd fds[2] = {{channel, short(POLLIN | (sending ? POLLOUT : 0)), 0}, {errors, POLLIN, 0}};
    if (::poll(fds, 2, 10) <= 0)
        return;
    if (sending && (fds[0].revents & POLLOUT))
        sendSome(channel, exchange);
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
        exchange.closed = !readAvailable(channel, exchange.answer, outputLimit + longestLengthLine, exchange.overflowed);
        exchange.closed = exchange.closed || !readLength(exchange);
        exchange.overflowed = exchange.overflowed || exchange.length > outputLimit;
        makeRoom(exchange, outputLimit);
    }
    bool errorsOverflowed = false;
    if (fds[1].revents & POLLIN)
        readAvailable(errors, run.errors, 8 * 1024, errorsOverflowed);
}

// How an exchange that got no answer ended, from the helper's status.
HelperRun::Ending endingOf(const Exchange &exchange, int status, int &exitCode)
{
    if (exchange.overflowed)
        return HelperRun::Ending::TooMuchOutput;
    if (exchange.spent)
        return HelperRun::Ending::TimedOut;
    if (WIFSIGNALED(status))
        return HelperRun::Ending::Crashed;
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return HelperRun::Ending::Finished;
}

// What is left on the error pipe of a helper that has ended.
void readLastErrors(int errors, QByteArray &into)
{
    bool overflowed = false;
    pollfd fd{errors, POLLIN, 0};
    while (::poll(&fd, 1, 0) > 0 && (fd.revents & (POLLIN | POLLHUP)) && readAvailable(errors, into, 8 * 1024, overflowed)
           && !overflowed) {
    }
}

} // namespace

HelperSession::HelperSession(const char *name, QStringList arguments)
    : m_name(name), m_arguments(std::move(arguments))
{
}

HelperSession::~HelperSession() = default;

void HelperSession::restart()
{
    m_process.reset();
    m_answered = 0;
}

HelperRun HelperSession::ask(const QByteArray &head, const QByteArray &body, HelperBudget budget, qint64 outputLimit)
{
    HelperRun run;
    if (m_process && m_process->hasEnded())
        restart();
    if (!m_process && !start())
        return run;
    Process &process = *m_process;
    const Clock::time_point started = Clock::now();
    const std::chrono::milliseconds before = workDoneBy(process.pid);
    Exchange exchange;
    exchange.request[0] = framedHead(head, body);
    exchange.request[1] = body;
    while (!exchange.isAnswered() && !exchange.closed && !exchange.overflowed
           && !(exchange.spent = budgetSpent(process.pid, started, budget, before)))
        stepExchange(process.channel.get(), process.errors.get(), exchange, outputLimit, run);
    if (exchange.isAnswered() && exchange.answer.size() - exchange.messageStart == exchange.length) {
        run.ending = HelperRun::Ending::Finished;
        run.exitCode = 0;
        run.output = exchange.answer.mid(exchange.messageStart);
        ++m_answered;
        return run;
    }
    const int status = process.end();
    readLastErrors(process.errors.get(), run.errors);
    run.ending = endingOf(exchange, status, run.exitCode);
    restart();
    return run;
}

// Starts the helper, one end of a socket its standard input and output:
// a socket, so that a request sent to a helper that has just ended fails
// instead of raising SIGPIPE.
bool HelperSession::start()
{
    const QString path = helperPath(m_name);
    int channel[2];
    int errorPipe[2];
    if (path.isEmpty() || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, channel) != 0)
        return false;
    Descriptor ours(channel[0]);
    const Descriptor theirs(channel[1]);
    if (::pipe2(errorPipe, O_CLOEXEC) != 0)
        return false;
    Descriptor errors(errorPipe[0]);
    const Descriptor theirErrors(errorPipe[1]);
    const pid_t pid = spawn(QFile::encodeName(path), m_arguments, theirs.get(), theirs.get(), theirErrors.get());
    if (pid < 0)
        return false;
    m_process = std::make_unique<Process>();
    m_process->pid = pid;
    m_process->channel.reset(ours.release());
    m_process->errors.reset(errors.release());
    return true;
}

#else

struct HelperSession::Process
{
};

HelperSession::HelperSession(const char *name, QStringList arguments)
    : m_name(name), m_arguments(std::move(arguments))
{
}

HelperSession::~HelperSession() = default;

void HelperSession::restart()
{
    m_answered = 0;
}

bool HelperSession::start()
{
    return true;
}

// Elsewhere each request starts a helper of its own, which answers it and
// ends when its input does.
HelperRun HelperSession::ask(const QByteArray &head, const QByteArray &body, HelperBudget budget, qint64 outputLimit)
{
    HelperRun run = runHelper(m_name, m_arguments, framedHead(head, body) + body, budget, outputLimit + longestLengthLine);
    const qsizetype end = run.output.indexOf('\n');
    if (run.ending == HelperRun::Ending::Finished && end >= 0)
        run.output = run.output.mid(end + 1);
    return run;
}

#endif
