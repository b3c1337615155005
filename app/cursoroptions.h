#pragma once

#include "conversion.h"
#include "optiontable.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

// Where a cursor points (--hotspot, given at `hotSpots` among the pictures),
// --classic, how long an animation's frames show (--delay), and an animated
// cursor's title and author, read into `conversion`, whose kind, --mono
// and --sizes are read already; or the mistake. A cursor without
// --classic, --mono or --sizes has its kind's sizes.
std::optional<QString> readCursorOptions(const QCommandLineParser &parser, const std::vector<OptionPlace> &hotSpots,
                                         ConversionOptions &conversion);
