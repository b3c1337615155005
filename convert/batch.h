#pragma once

#include "conversion.h"
#include "outputplan.h"

#include <QString>
#include <QStringList>

#include <functional>

// Writes a result to `output` (or standard output); returns the line that
// says why it could not be, or nothing. A device, a pipe or standard output
// is written into, never replaced.
QString writeResult(const QByteArray &bytes, const QString &output, const QString &input);

// Converts every picture of `inputs` to its output in `plan`, `jobs` at a
// time, and reports each picture that fails (with the one line that says
// why) to `reportFailure`, in input order: each report as soon as that
// picture and all before it are done, whichever finishes first. Returns
// whether all were converted.
bool convertAll(const QStringList &inputs, const OutputPlan &plan, const ConversionOptions &options, int jobs,
                const std::function<void(const QString &)> &reportFailure);
