#pragma once

#include "failure.h"
#include "operand.h"

#include <optional>

// What a run could not do, or will not do, with one of its files: the step,
// the file it was done to, the picture it was done for, and why. The
// converter makes its message line of it; the reasons are made here and in
// failure.h, the lines only where they are shown.
struct RunFailure
{
    enum class Step {
        Open,            // the picture `file` cannot be read
        MakeIcon,        // the pictures, `file` first, cannot make the icon asked for
        Write,           // `file` cannot be written for `picture`
        MakeFolder,      // the folder `file` cannot be made for `picture`
        ReadList,        // the list `file` cannot be read
        ReadFolder,      // the folder `file` cannot be read
        SkipFolder,      // the folder `file` is not walked
        RefuseWrite,     // `file` is not written for `picture`
        RefuseOverwrite, // `file` is not written over with the result for `picture`
        RefuseConvert,   // the picture `file` is not converted
        RefusePacking,   // the one icon is not written to `file`: it is `picture`
    };

    Step step;
    Operand file;
    std::optional<Operand> picture;
    Failure failure;

    // The reasons a run refuses a file, in the same words everywhere.
    static Failure isAPictureOfTheRun()
    {
        return {Failure::Kind::Unusable, QStringLiteral("it is one of the pictures being converted")};
    }
    static Failure holdsAnEarlierResult()
    {
        return {Failure::Kind::Unusable, QStringLiteral("it holds the result of an earlier picture of this run")};
    }
    static Failure leadsBackAbove()
    {
        return {Failure::Kind::Unusable, QStringLiteral("a link leads back to a folder above it")};
    }
};
