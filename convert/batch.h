#pragma once

#include "conversion.h"
#include "outputplan.h"

#include <QString>
#include <QStringList>

#include <functional>

// Converts every picture of `inputs` to its output in `plan`, `jobs` at a
// time, and reports each picture that fails (with the one line that says
// why) to `reportFailure`, in input order: each report as soon as that
// picture and all before it are done, whichever finishes first. Returns
// whether all were converted.
bool convertAll(const QStringList &inputs, const OutputPlan &plan, const ConversionOptions &options, int jobs,
                const std::function<void(const QString &)> &reportFailure);
