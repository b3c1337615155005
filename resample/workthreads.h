#pragma once

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

} // namespace WorkThreads
