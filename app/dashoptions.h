#pragma once

#include <QString>
#include <QStringList>

// Long options written with one dash, as the most used image tools take
// them ("-mono", "-sizes all", "-output x.ico"), turned into what they
// mean ("--mono" ...), so that "-output" is never read as "-o utput".
// `longNames` are the long options' names, `shortNames` the short ones'
// letters. A one-dash word that is neither a long option nor a short option
// with its value ("-j4", "-ofile.ico") is an error, which says what was
// meant when a long option is close; so is one within two letters of a
// long option ("-outptu").
// Arguments after "--" are pictures, and are left as they are.
QStringList withOneDashLongOptions(const QStringList &arguments, const QStringList &longNames,
                                   const QString &shortNames, QString &error);
