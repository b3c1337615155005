#include "batch.h"

#include "atomicfile.h"
#include "outputkinds.h"
#include "workthreads.h"
#include "fileaccess.h"
#include "setfiles.h"

#include <QFile>
#include <QDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

std::optional<Failure> writeToStandardOutput(const QByteArray &bytes)
{
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush())
        return Failure{Failure::Kind::Unusable, QStringLiteral("standard output does not take it")};
    return std::nullopt;
}

// How one picture's conversion ended: why it failed, or nothing; and what
// could not be drawn of it.
struct Outcome
{
    std::optional<RunFailure> failure;
    std::vector<RunNote> notes;
    std::optional<Operand> written;
};

// A picture taken from the inputs, in the order they come.
struct Taken
{
    size_t number = 0;
    RunInput input;
    Operand output;
};

// The pictures of a run, taken in order by the threads that convert them,
// and their outcomes handed back to the thread that reports them in order.
// Taking (which may wait for a list that comes slowly) and reporting have
// locks of their own, so failures are told while a list is waited for.
// Only outcomes not yet reported are kept, and no picture is taken more
// than `takenAhead` beyond the last one reported: behind one slow picture
// the others do not pile up.
class Run
{
public:
    static constexpr size_t takenAhead = 1024;

    Run(InputStream &inputs, const Destination &destination, OutputClaims &claims)
        : m_inputs(inputs)
        , m_destination(destination)
        , m_claims(claims)
    {
    }

    // The next picture to convert, with its output claimed (or refused).
    std::optional<Taken> take()
    {
        waitForRoom();
        std::unique_lock<std::mutex> lock(m_takeMutex);
        std::optional<RunInput> next = m_ended ? std::nullopt : m_inputs.next();
        m_known = m_inputs.known();
        m_allKnown = m_inputs.complete();
        m_skipped = m_inputs.skipped();
        if (!next) {
            m_ended = true;
            lock.unlock();
            tellReporter();
            return std::nullopt;
        }
        Operand output = m_destination.outputFor(next->input.name(), next->resultFolder);
        Taken taken{m_taken, std::move(*next), std::move(output)};
        if (!taken.input.failure)
            taken.input.failure = m_claims.claim(taken.input.input, taken.output);
        ++m_taken;
        return taken;
    }

    void finish(size_t number, Outcome outcome)
    {
        const std::lock_guard<std::mutex> lock(m_outcomeMutex);
        m_outcomes.emplace(number, std::move(outcome));
        m_changed.notify_all();
    }

    // The outcome of picture `number` once it is done; nothing when there
    // is no such picture; or, after `wait` with neither, ask again.
    enum class Waited { Done, NoMore, StillWaiting };
    Waited waitFor(size_t number, std::chrono::milliseconds wait, Outcome &done, RunCounts &counts)
    {
        std::unique_lock<std::mutex> lock(m_outcomeMutex);
        m_changed.wait_for(lock, wait, [&] { return m_outcomes.count(number) || (m_ended && number >= m_taken); });
        counts.known = std::max<size_t>(m_known, m_taken);
        counts.allKnown = m_allKnown;
        counts.skipped = m_skipped;
        if (const auto outcome = m_outcomes.find(number); outcome != m_outcomes.end()) {
            done = std::move(outcome->second);
            m_outcomes.erase(outcome);
            m_reported = number + 1;
            m_changed.notify_all();
            return Waited::Done;
        }
        return m_ended && number >= m_taken ? Waited::NoMore : Waited::StillWaiting;
    }

    // No more pictures are taken: the run was stopped. Once a picture
    // being taken is (which the lock waits for), the count is final.
    void close()
    {
        {
            const std::lock_guard<std::mutex> lock(m_takeMutex);
            m_ended = true;
        }
        tellReporter();
    }

private:
    void waitForRoom()
    {
        std::unique_lock<std::mutex> lock(m_outcomeMutex);
        m_changed.wait(lock, [&] { return m_ended || m_taken - m_reported < takenAhead; });
    }

    void tellReporter()
    {
        const std::lock_guard<std::mutex> lock(m_outcomeMutex);
        m_changed.notify_all();
    }

    InputStream &m_inputs;
    const Destination &m_destination;
    OutputClaims &m_claims;
    // Taking: the inputs and claims, and the counts it publishes.
    std::mutex m_takeMutex;
    std::atomic<size_t> m_taken{0};
    std::atomic<bool> m_ended{false};
    std::atomic<size_t> m_known{0};
    std::atomic<bool> m_allKnown{false};
    std::atomic<size_t> m_skipped{0};
    // Reporting: the outcomes not yet reported.
    std::mutex m_outcomeMutex;
    std::condition_variable m_changed;
    std::map<size_t, Outcome> m_outcomes;
    size_t m_reported = 0;
};

// The threads of a run, joined however the run ends.
struct Workers
{
    std::vector<std::thread> threads;
    ~Workers()
    {
        for (std::thread &thread : threads)
            thread.join();
    }
};

// Converts one picture and writes its result.
// A result of -d: a file of the folder's set, named by the program, with
// the folders of a walk (-r) on the way.
std::optional<RunFailure> writeIntoFolder(const QByteArray &bytes, const Taken &taken, const Destination &destination)
{
    // The output was named in the folder (outputFor); the name in it is what
    // follows the folder, by the string, as a name's raw bytes keep only
    // there.
    QString folder = QDir(destination.folder).path();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QString &output = taken.output.name();
    const QString name = output.startsWith(folder) ? output.mid(folder.size()) : output.section(QLatin1Char('/'), -1);
    if (std::optional<Failure> failure = writeFileInSet(destination.folder, name, bytes, destination.ownLink))
        return RunFailure{RunFailure::Step::Write, taken.output, taken.input.input, std::move(*failure)};
    return std::nullopt;
}

Outcome convertOne(const Taken &taken, const Destination &destination, const ConversionOptions &options,
                   const RunReport &report)
{
    const Converted converted = [&] {
        const WorkThreads::Held working;
        return makeResult(options.forPicture(taken.input.named), QStringList{taken.input.input.name()});
    }();
    if (converted.failure)
        return {converted.failure, {}, std::nullopt};
    if (std::optional<RunFailure> failure = destination.outputFile.isEmpty()
                                                ? writeIntoFolder(converted.bytes, taken, destination)
                                                : writeResult(converted.bytes, taken.output, taken.input.input))
        return {std::move(failure), {}, std::nullopt};
    if (report.resultWritten)
        report.resultWritten();
    return {std::nullopt, converted.notes, taken.output};
}

// Starts `work` on four threads for each job: a thread waiting for its
// file to reach the disk (several may, on a slow disk) has left its job to
// another.
void startWorkers(Workers &workers, int jobs, const std::function<void()> &work)
{
    for (int j = 0; j < 4 * jobs; ++j) {
        try {
            workers.threads.emplace_back(work);
        } catch (const std::system_error &) {
            break; // the system gives no more threads: those there share the work
        }
    }
    if (workers.threads.empty())
        work(); // not one thread to be had: this one converts them all
}

// Reports each picture's outcome in input order, and the counts as they
// change, until the run has no more pictures.
RunCounts reportInOrder(Run &run, const RunReport &report)
{
    RunCounts counts;
    for (size_t number = 0;;) {
        Outcome outcome;
        const auto waited = run.waitFor(number, std::chrono::milliseconds(100), outcome, counts);
        if (waited == Run::Waited::NoMore)
            break;
        if (waited == Run::Waited::Done) {
            ++number;
            ++(outcome.failure ? counts.failed : counts.converted);
            if (outcome.failure && report.failure)
                report.failure(*outcome.failure);
            for (const RunNote &note : outcome.notes)
                if (report.note)
                    report.note(note);
            if (outcome.written && report.written)
                report.written(*outcome.written);
        }
        if (report.progress)
            report.progress(counts);
    }
    return counts;
}

} // namespace

RunCounts convertStream(const InputChoice &choice, const Destination &destination, const ConversionOptions &options,
                        int jobs, const std::atomic<bool> &stop, const RunReport &report)
{
    jobs = std::max(jobs, 1);
    WorkThreads::setLimit(jobs);
    OutputClaims claims;
    InputStream inputs(choice, claims, stop);
    Run run(inputs, destination, claims);
    const std::function<void()> work = [&] {
        while (!stop) {
            const std::optional<Taken> taken = run.take();
            if (!taken)
                break;
            run.finish(taken->number, taken->input.failure ? Outcome{taken->input.failure, {}, std::nullopt}
                                                           : convertOne(*taken, destination, options, report));
        }
        run.close();
    };
    Workers workers;
    startWorkers(workers, jobs, work);
    return reportInOrder(run, report);
}

std::optional<RunFailure> writeResult(const QByteArray &bytes, const Operand &output, const Operand &input)
{
    const std::optional<Failure> failure =
        output.isStandard() ? writeToStandardOutput(bytes) : writeFile(output.name(), bytes);
    if (!failure)
        return std::nullopt;
    return RunFailure{RunFailure::Step::Write, output, input, *failure};
}
