#pragma once

#include "failure.h"

#include <QString>

// The run-time error number and description that the window's message
// boxes show for a failure, as in "mnuSave Error # 53 - File not found".
struct ClassicError
{
    int number;
    QString description;
};
ClassicError classicErrorFor(const Failure &failure);
