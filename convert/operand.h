#pragma once

#include <QString>

#include <optional>

// A file named on the command line for reading or writing: a path, or "-"
// for standard input (of an input) or standard output (of an output).
class Operand
{
public:
    static Operand input(const QString &name) { return Operand(name, Stream::Input); }
    static Operand output(const QString &name) { return Operand(name, Stream::Output); }

    // The name as it was given.
    const QString &name() const { return m_name; }
    // Whether it is "-": standard input or output rather than a file.
    bool isStandard() const { return m_name == QLatin1String("-"); }
    // The file it is, told apart from others whatever name leads to it (a
    // standard stream: the file it is open on); nothing when there is no
    // such file.
    std::optional<QString> identity() const;
    // As messages name it: "standard input" or "standard output", or its
    // path with the system's separators, readable whatever bytes it holds.
    QString shown() const;

private:
    enum class Stream { Input, Output };
    Operand(const QString &name, Stream stream)
        : m_name(name)
        , m_stream(stream)
    {
    }

    QString m_name;
    Stream m_stream;
};

// A path as messages name it: with the system's separators, readable
// whatever bytes it holds.
QString shownPath(const QString &path);
