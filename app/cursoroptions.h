#pragma once

#include "conversion.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

// Whether the pictures become a cursor, which, and where it points
// (--cursor, --xcursor, --ani, --delay, --title, --author, --hotspot,
// --classic), read into
// `conversion`, whose --bmp,
// --mono and --sizes are read already; or the mistake. A cursor without
// --classic, --mono or --sizes has the pointer sizes.
std::optional<QString> readCursorOptions(const QCommandLineParser &parser, ConversionOptions &conversion);
