#pragma once

#include "conversion.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

// Whether the pictures become another platform's icon (--icns, or an
// output named .icns), read into `conversion`, whose other options are read
// already; or the mistake.
std::optional<QString> readPlatformOptions(const QCommandLineParser &parser, ConversionOptions &conversion);
