#pragma once

#include "convertoptions.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

// Why `name` cannot be an icon's file name: it must name a file in its
// folder, not another folder.
std::optional<QString> nameRefusal(const QString &name);

// --theme DIR --name NAME: the pictures make the program's icon NAME in the
// icon themes folder DIR. Read into `options` (the inputs, the folder, the
// name, --key-black and -q) once the option table has let the task's
// options through; returns the mistake, or why DIR cannot be had, which
// `folderRefusal` says (DIR is made with its first file, as -d's folder).
std::optional<QString> readThemeOptions(const QCommandLineParser &parser, Options &options,
                                        std::optional<QString> (*folderRefusal)(const QString &));
