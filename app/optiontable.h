#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// One option of the command line, as --help shows it.
struct OptionEntry
{
    const char *letter;      // the short name, or none
    const char *name;        // the long name
    const char *valueName;   // what its value is called, or none: it takes no value
    bool converting;         // says how to convert, which --list and --extract refuse
    const char *description; // none: Qt's own version option, in Qt's words
};

// Every option, in the order --help lists them.
const std::vector<OptionEntry> &optionTable();

// An option's names: its letter, when it has one, and its long name.
QStringList namesOf(const OptionEntry &entry);

// The options, as --help shows them.
void declareOptions(QCommandLineParser &parser);

// Reads the options written with one dash as they are meant ("-mono").
std::optional<QString> readOneDashOptions(const QStringList &arguments, QStringList &understood);
