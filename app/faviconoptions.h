#pragma once

#include "convertoptions.h"

#include <QColor>
#include <QCommandLineParser>
#include <QString>

#include <optional>

// The pictures made into a web site's icons (--favicon DIR, with
// --background COLOUR, --key-black and -q), read into `options` as its
// folder, inputs and background once the option table has let the task's
// options through; or the mistake: a colour that is unreadable or not
// opaque, no picture, standard input twice.
// The colour --background names, opaque, as Qt reads colours, into
// `background`; or the mistake.
std::optional<QString> readBackground(const QString &given, QColor &background);

std::optional<QString> readFaviconOptions(const QCommandLineParser &parser, Options &options);
