#pragma once

#include "conversion.h"
#include "outputkinds.h"
#include "outputplan.h"
#include "runfailure.h"

#include <QString>

// The converter's lines for what it says of a run. What a run could not
// do, or will not do, with a file: "Tervana cannot write "x.ico" for "x.jpg": the disk is full."
QString lineFor(const RunFailure &failure, const QString &result = QStringLiteral("icon"));
// The line for what of a drawing could not be drawn.
QString lineFor(const RunNote &note);
// The warning for an -o name that promises another format.
QString lineFor(const FormatMismatch &mismatch);
