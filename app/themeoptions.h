#pragma once

#include "convertoptions.h"

#include <QCommandLineParser>
#include <QString>

#include <optional>

// --theme DIR --name NAME: the pictures make the program's icon NAME in the
// icon themes folder DIR. Read into `options` (the task, the inputs, the
// folder, the name and --key-black) when --theme or --name is given;
// returns the mistake, or why DIR cannot be had, which `folderRefusal`
// says once it has made DIR where -d would make it.
// Why `name` cannot be an icon's file name: it must name a file in its
// folder, not another folder.
std::optional<QString> nameRefusal(const QString &name);

std::optional<QString> readThemeOptions(const QCommandLineParser &parser, Options &options,
                                        std::optional<QString> (*folderRefusal)(const QString &));
