#pragma once

#include "convertoptions.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

// Whether the pictures become every icon a program ships (--app-icons DIR,
// with --name NAME, --background COLOUR and --key-black), read into
// `options` as its task, folder, inputs, name and background; or the
// mistake: an option of another kind of result, a name that is no plain
// file name, or standard input without --name. DIR is made as -d's folder
// is, by `folderRefusal`.
std::optional<QString> readAppIconsOptions(const QCommandLineParser &parser, Options &options,
                                           std::optional<QString> (*folderRefusal)(const QString &));
