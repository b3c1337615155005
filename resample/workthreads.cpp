#include "workthreads.h"

#include <QThread>

#include <condition_variable>
#include <mutex>

namespace {

struct Count
{
    std::mutex lock;
    std::condition_variable freed;
    int limit = std::max(1, QThread::idealThreadCount());
    int taken = 0;
};

Count &count()
{
    static Count shared;
    return shared;
}

} // namespace

void WorkThreads::setLimit(int threads)
{
    const std::lock_guard<std::mutex> guard(count().lock);
    count().limit = std::max(1, threads);
}

void WorkThreads::take()
{
    Count &shared = count();
    std::unique_lock<std::mutex> guard(shared.lock);
    shared.freed.wait(guard, [&shared] { return shared.taken < shared.limit; });
    ++shared.taken;
}

bool WorkThreads::tryTake()
{
    Count &shared = count();
    const std::lock_guard<std::mutex> guard(shared.lock);
    if (shared.taken >= shared.limit)
        return false;
    ++shared.taken;
    return true;
}

void WorkThreads::giveBack()
{
    Count &shared = count();
    {
        const std::lock_guard<std::mutex> guard(shared.lock);
        --shared.taken;
    }
    shared.freed.notify_one();
}

WorkThreads::Held::Held(bool taken)
{
    if (!taken)
        take();
}

WorkThreads::Held::~Held()
{
    giveBack();
}
