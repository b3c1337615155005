#pragma once

#include "convertoptions.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

// The pictures made into every icon a program ships (--app-icons DIR, with
// --name NAME, --background COLOUR, --key-black and -q), read into
// `options` as its folder, inputs, name and background once the option
// table has let the task's options through; or the mistake: a name that is
// no plain file name, or standard input without --name. DIR is checked by
// `folderRefusal`, and made with its first file, as -d's folder is.
std::optional<QString> readAppIconsOptions(const QCommandLineParser &parser, Options &options,
                                           std::optional<QString> (*folderRefusal)(const QString &));
