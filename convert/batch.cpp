#include "batch.h"

#include "atomicfile.h"

#include <QDir>
#include <QFile>
#include <QSemaphore>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
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

// The outcome of each picture, handed from the threads that convert them to
// the one that reports them in order.
class Outcomes
{
public:
    explicit Outcomes(std::vector<QString> refusals)
        : m_failures(std::move(refusals))
        , m_done(m_failures.size(), false)
    {
    }
    QString refusal(size_t i) const { return m_failures[i]; }
    void finish(size_t i, const QString &failure)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_failures[i] = failure;
        m_done[i] = true;
        m_finished.notify_all();
    }
    QString waitFor(size_t i)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_finished.wait(lock, [&] { return bool(m_done[i]); });
        return m_failures[i];
    }

private:
    std::vector<QString> m_failures;
    std::vector<bool> m_done;
    std::mutex m_mutex;
    std::condition_variable m_finished;
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

} // namespace

QString writeResult(const QByteArray &bytes, const QString &output, const QString &input)
{
    const std::optional<Failure> failure =
        namesStandardOutput(output) ? writeToStandardOutput(bytes) : writeFile(output, bytes);
    if (!failure)
        return QString();
    return QStringLiteral("Tervana cannot write \"%1\" for \"%2\": %3.")
        .arg(shownOutput(output), shownInput(input), failure->reason);
}

// There are four times as many threads as jobs: a thread waiting for its
// file to reach the disk (several may, on a slow disk) has left its job to
// another.
bool convertAll(const QStringList &inputs, const OutputPlan &plan, const ConversionOptions &options, int jobs,
                const std::function<void(const QString &)> &reportFailure)
{
    Q_ASSERT(plan.outputs.size() == inputs.size() && plan.refusals.size() == size_t(inputs.size()));
    jobs = std::max(jobs, 1);
    const size_t count = size_t(inputs.size());
    Outcomes outcomes(plan.refusals);
    std::atomic<size_t> next{0};
    QSemaphore converting(jobs);
    const auto work = [&] {
        for (size_t i = next++; i < count; i = next++) {
            QString failure = outcomes.refusal(i);
            if (failure.isEmpty()) {
                converting.acquire();
                const Converted converted = convertPicture(options, inputs[qsizetype(i)]);
                converting.release();
                failure = converted.failure.isEmpty()
                              ? writeResult(converted.bytes, plan.outputs[qsizetype(i)], inputs[qsizetype(i)])
                              : converted.failure;
            }
            outcomes.finish(i, failure);
        }
    };
    Workers workers;
    for (size_t j = 0; j < std::min(4 * size_t(jobs), count); ++j) {
        try {
            workers.threads.emplace_back(work);
        } catch (const std::system_error &) {
            break; // the system gives no more threads: those there share the work
        }
    }
    if (workers.threads.empty())
        work(); // not one thread to be had: this one converts them all

    bool allConverted = true;
    for (size_t i = 0; i < count; ++i) {
        if (const QString failure = outcomes.waitFor(i); !failure.isEmpty()) {
            reportFailure(failure);
            allConverted = false;
        }
    }
    return allConverted;
}
