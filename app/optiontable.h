#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// What a run does with its inputs, chosen by the options that name a kind
// of result: converting each picture (the default: an icon, a bitmap, a
// cursor, an icon family ...), listing or extracting icons, or writing a
// set of files.
enum class Task { Convert, List, Extract, Favicon, IconTheme, AppIcons };

// A set of tasks, one bit each.
constexpr unsigned tasksOf(Task task)
{
    return 1u << unsigned(task);
}
template<typename... More>
constexpr unsigned tasksOf(Task task, More... more)
{
    return tasksOf(task) | tasksOf(more...);
}
constexpr unsigned everyTask = tasksOf(Task::Convert, Task::List, Task::Extract, Task::Favicon, Task::IconTheme, Task::AppIcons);

// One option of the command line, as --help shows it, and the tasks it
// goes with: any other task refuses it.
struct OptionEntry
{
    const char *letter;      // the short name, or none
    const char *name;        // the long name
    const char *valueName;   // what its value is called, or none: it takes no value
    unsigned tasks;          // the tasks that take it (tasksOf)
    const char *description; // none: Qt's own version option, in Qt's words
};

// Every option, in the order --help lists them.
const std::vector<OptionEntry> &optionTable();

// An option's names: its letter, when it has one, and its long name.
QStringList namesOf(const OptionEntry &entry);

// An option as messages name it: "-o", "--sizes".
QString shownOption(const OptionEntry &entry);

// The options of `arguments` (as readOneDashOptions understood them), each
// once, in the order first given.
std::vector<const OptionEntry *> optionsGiven(const QStringList &arguments);

// The options, as --help shows them.
void declareOptions(QCommandLineParser &parser);

// Reads the options written with one dash as they are meant ("-mono").
std::optional<QString> readOneDashOptions(const QStringList &arguments, QStringList &understood);
