#pragma once

#include "convertoptions.h"

#include <QColor>
#include <QCommandLineParser>
#include <QString>

#include <optional>

// Whether the pictures become a web site's icons (--favicon DIR, with
// --background COLOUR and --key-black), read into `options` as its task,
// folder, inputs and background; or the mistake: --background without
// --favicon, a colour that is unreadable or not opaque, or an option of
// another kind of result.
// The colour --background names, opaque, as Qt reads colours, into
// `background`; or the mistake.
std::optional<QString> readBackground(const QString &given, QColor &background);

std::optional<QString> readFaviconOptions(const QCommandLineParser &parser, Options &options);
