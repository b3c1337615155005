#pragma once

#include <future>
#include <system_error>
#include <utility>

// The threads a process works on at once. A run's pictures converted side
// by side and the sizes of one icon made side by side take their threads
// from the same count, so that the converter's -j bounds all the work it
// does at a time, not only the pictures begun. By default the count is the
// number of processors.
namespace WorkThreads {

// Sets the count, before any work starts.
void setLimit(int threads);

// Takes a thread of the count, waiting until one is free: a thread about to
// work that counts.
void take();
// Takes one only when one is free: a thread that would work beside those
// working already, and may not.
bool tryTake();
// Gives the thread back.
void giveBack();

// Holds a thread of the count while it is in scope (taken when it is made,
// unless `taken` says it is held already).
class Held
{
public:
    explicit Held(bool taken = false);
    ~Held();
    Held(const Held &) = delete;
    Held &operator=(const Held &) = delete;
};

// `make` started on a thread of its own when one of the count is free,
// else left to be done when its result is asked for (as also when no
// thread can be started).
template<typename Make>
auto startSideBySide(Make make) -> std::future<decltype(make())>
{
    if (!tryTake())
        return std::async(std::launch::deferred, std::move(make));
    try {
        return std::async(std::launch::async, [make] {
            const Held held(true);
            return make();
        });
    } catch (const std::system_error &) {
        giveBack();
        return std::async(std::launch::deferred, std::move(make));
    }
}

} // namespace WorkThreads
