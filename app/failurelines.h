#pragma once

#include "runfailure.h"

#include <QString>

// The converter's line for what a run could not do, or will not do, with a
// file: "Tervana cannot write "x.ico" for "x.jpg": the disk is full."
QString lineFor(const RunFailure &failure);
