#pragma once

#include "conversion.h"
#include "optiontable.h"

#include <QColor>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

// The converter's command line: its options, declared once in a table, and
// the reading of a run from them.

struct Options
{
    // What the run makes (conversion.kind) and how.
    ConversionOptions conversion;
    QStringList inputs;
    QString outputFile; // -o
    // The folder the results go into: -d's, or that of a set (--cursor-theme,
    // --theme, --favicon, --app-icons).
    QString folder;
    QString name; // --name: the name desktops look the icon up by
    int jobs = 1;
    // --drawing-budget: the processor time each SVG drawing may take.
    std::chrono::milliseconds drawingBudget{1500};
    // --page: the page of each PDF document read, counted from 1.
    int page = 1;
    QString list; // --files-from
    bool nulSeparated = false;
    bool recursive = false;
    bool followLinks = false;
    bool quiet = false;
    bool progress = false;
    std::optional<QColor> background; // --background: under the opaque icons, and the manifest's colours
    QString webPath; // --web-path: where a web set's files are served
    bool iosAll = false; // --ios-all
    QStringList platforms; // --platforms, as given; empty for all
    QString backgroundPicture; // --background-picture

    OutputKind kind() const { return conversion.kind; }
};

// How the converter is used, before the options --help lists.
extern const QString usage;
// What --help ends with: the examples a new user needs first.
extern const QString examples;

// Reads the command line into `options`; returns the line that says what
// is wrong with it, or nothing when it can be run. Asking for help or the
// version is no mistake, and reads no further.
std::optional<QString> readCommandLine(QCommandLineParser &parser, const QStringList &arguments, Options &options);

bool asksForHelp(const QCommandLineParser &parser);
bool asksForVersion(const QCommandLineParser &parser);
