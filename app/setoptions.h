#pragma once

#include "convertoptions.h"

#include <QColor>
#include <QCommandLineParser>
#include <QString>

#include <optional>

// The options of the kinds that write a set of files into a folder
// (--theme, --favicon, --app-icons), read alike: the folder, the pictures,
// --name, --background, --key-black and -j.

// Why `name` cannot be an icon's file name: it must name a file in its
// folder, not another folder.
std::optional<QString> nameRefusal(const QString &name);

// The platforms --platforms names (windows,macos,...), into `platforms` in
// the order given; or the mistake.
std::optional<QString> readPlatforms(const QString &list, QStringList &platforms);

// Why `path` cannot be the path a web set is served under (--web-path).
std::optional<QString> webPathRefusal(const QString &path);

// The colour --background names, opaque, as Qt reads colours, into
// `background`; or the mistake.
std::optional<QString> readBackground(const QString &given, QColor &background);

// Reads a set's options into `options`, whose kind is chosen already and
// whose options the option table has let through; returns the mistake, or
// why the folder cannot be had (it is made with its first file, as -d's
// is).
std::optional<QString> readSetOptions(const QCommandLineParser &parser, Options &options);
