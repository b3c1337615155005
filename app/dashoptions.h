#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Long options written with one dash, as the most used image tools take
// them ("-mono", "-sizes all", "-output x.ico"), turned into what they
// mean ("--mono" ...), so that "-output" is never read as "-o utput".
// `longNames` are the long options' names, `shortNames` the short ones'
// letters, `takingValues` the names (long and short) of those that take a
// value: the argument after one is its value, whatever it looks like ("-o
// -x.ico"). A one-dash word that is neither a long option nor a short
// option with its value ("-j4", "-dtmp") is an error, which says what was
// meant when a long option is close; so is one within two letters of a
// long option of its first letter ("-outptu"). Arguments after "--" are
// pictures, and are left as they are.
struct DashReading
{
    QStringList arguments;          // as they are meant
    std::optional<QString> mistake; // the line that says which word is no option
};
DashReading withOneDashLongOptions(const QStringList &arguments, const QStringList &longNames,
                                   const QString &shortNames, const QStringList &takingValues);
