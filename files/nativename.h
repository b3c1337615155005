#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// File names by their exact bytes. On Linux a name is any bytes but '/' and
// NUL; Qt reads names as UTF-8 and turns bytes that are not UTF-8 into
// U+FFFD, after which the file cannot be reached. Here such a byte is kept
// instead as a lone low surrogate, U+DC80 to U+DCFF (as Python's
// "surrogateescape" does): no UTF-8 text holds one, so every name decodes
// and encodes back to the same bytes. Every open, stat and rename of the
// converter goes through nativeName(). On Windows names are UTF-16 and Qt's
// own conversion is exact.

// A name as the system gave it (an argument, a folder entry, a line of a list).
QString nameFromNative(const QByteArray &bytes);

// The bytes of a name, to give to the system.
QByteArray nativeName(const QString &name);

// A name as a message shows it: the bytes that are not UTF-8 as \xHH, control
// characters (a newline, say) as \n, \t or \xHH, and so a backslash as \\, so
// that the line stays one line and every name is told from every other.
QString readableName(const QString &name);

// Whether a name holds a byte that is not UTF-8 (which only nativeName()
// gives back as it was).
bool holdsRawBytes(const QString &name);

// The program's arguments, each by its exact bytes as nameFromNative()
// keeps them (Qt's own list has lost the bytes that are not UTF-8).
QStringList argumentsFromNative(int argc, char *argv[]);
