#pragma once

#include "vberror.h"

#include <QByteArray>
#include <QString>

// Writes `bytes` as the whole new content of the file at `path`: afterwards
// the file holds exactly these bytes, or, on failure, whatever it held before
// (nothing is left half-written). The result says why a write failed.
VbError writeFileAtomically(const QString &path, const QByteArray &bytes);
