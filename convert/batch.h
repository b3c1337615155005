#pragma once

#include "conversion.h"
#include "inputstream.h"
#include "outputplan.h"

#include <QString>

#include <atomic>
#include <functional>

// Writes the result of `input` to `output`; returns why it could not be,
// or nothing. A device, a pipe or standard output is written into, never
// replaced.
std::optional<RunFailure> writeResult(const QByteArray &bytes, const Operand &output, const Operand &input);

// How far a run has come.
struct RunCounts
{
    size_t converted = 0;
    size_t failed = 0;
    size_t known = 0;      // pictures known so far
    bool allKnown = false; // every picture is known
    size_t skipped = 0;    // files that are not pictures, left out of folders walked
};

// What a run tells as it goes, on the thread that called convertStream.
struct RunReport
{
    // Why a picture failed, in the order of the pictures.
    std::function<void(const RunFailure &)> failure;
    // What of a converted picture could not be drawn, in the same order.
    std::function<void(const RunNote &)> note;
    // Each result written, in the same order.
    std::function<void(const Operand &)> written;
    // The counts, after each picture and a few times a second in between.
    std::function<void(const RunCounts &)> progress;
    // Called on the converting threads as each result is whole in its place,
    // before its picture's turn to be reported comes.
    std::function<void()> resultWritten;
};

// Converts every picture `choice` gives, `jobs` at a time, each to its place
// in `destination`, and reports each failure in input order: as soon as
// that picture and all before it are done, whichever finishes first. Once
// `stop` is set, no further picture is started; those under way are
// finished, and none is left half-written. Returns the final counts.
RunCounts convertStream(const InputChoice &choice, const Destination &destination, const ConversionOptions &options,
                        int jobs, const std::atomic<bool> &stop, const RunReport &report);
