#pragma once

#include "convertoptions.h"
#include "iconcontents.h"

#include <QString>

#include <atomic>

// How far the run has come, kept as it goes for the line an interruption
// prints; read while the run goes on, by the watch that may end it at once.
struct Advance
{
    std::atomic<size_t> done{0}; // results whole in their place, icons listed
    std::atomic<size_t> failed{0};
    std::atomic<size_t> known{0};
    std::atomic<bool> allKnown{false};
    ExtractionCounts extracted;
};
extern Advance advance;

// Whether the inputs make one result together (-o of several pictures).
bool packsIntoOne(const Options &options);

// The line an interrupted run ends with; `atOnce` when it ends without
// waiting for what was under way.
QString interruptedLine(const Options &options, bool atOnce);
