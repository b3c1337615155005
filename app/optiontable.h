#pragma once

#include "outputkind.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// One option of the command line, as --help shows it, and the kinds of
// result that take it: any other kind refuses it.
struct OptionEntry
{
    const char *letter;      // the short name, or none
    const char *name;        // the long name
    const char *valueName;   // what its value is called, or none: it takes no value
    unsigned kinds;          // the kinds that take it (kindsOf)
    const char *description; // none: Qt's own version option, in Qt's words
};

// Every option, in the order --help lists them.
const std::vector<OptionEntry> &optionTable();

// An option's names: its letter, when it has one, and its long name.
QStringList namesOf(const OptionEntry &entry);

// An option as messages name it: "-o", "--sizes".
QString shownOption(const OptionEntry &entry);

// The options of `arguments` (the program's name first, as
// readOneDashOptions understood them), each
// once, in the order first given.
std::vector<const OptionEntry *> optionsGiven(const QStringList &arguments);

// The options, as --help shows them.
void declareOptions(QCommandLineParser &parser);

// Where each `option` ("hotspot") given stands among `arguments`: its
// value, and how many pictures are named before it.
struct OptionPlace
{
    QString value;
    qsizetype picturesBefore;
};
std::vector<OptionPlace> placesOf(const QStringList &arguments, const char *option);

// Reads the options written with one dash as they are meant ("-mono").
std::optional<QString> readOneDashOptions(const QStringList &arguments, QStringList &understood);
