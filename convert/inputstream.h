#pragma once

#include "outputclaims.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

// The pictures of a run, taken one at a time as the run goes: those named
// on the command line, then those of a list (--files-from) read as it
// comes, with the pictures under each folder given when the run is
// recursive (-r). Nothing holds their names all at once: what a run keeps
// per picture is the 16-byte digests of OutputClaims.

struct InputChoice
{
    QStringList arguments;
    QString list;              // --files-from: a file, "-" for standard input, or empty
    bool nulSeparated = false; // -0: the list's names end with NUL, not a newline
    bool recursive = false;    // -r
    bool followLinks = false;  // -L: links to folders are walked too
    QString resultFolder;      // -d, where results go (and which the walk leaves out)
};

// One picture to convert: the file or standard input, the folder its
// result goes into (the same tree of folders under -d as under the folder
// given), or why it is not converted at all.
struct RunInput
{
    Operand input;
    QString resultFolder;
    std::optional<RunFailure> failure;
    // Which of the pictures named it comes of (a folder's pictures come of
    // the folder; a list's, after every picture named).
    qsizetype named = 0;
};

class InputStream
{
public:
    // Every picture named on the command line is known to `claims` from the
    // start; the others as they are found. `stop` ends the list early.
    InputStream(InputChoice choice, OutputClaims &claims, const std::atomic<bool> &stop);
    ~InputStream();

    // The next picture, or nothing when there are no more.
    std::optional<RunInput> next();
    // Pictures given so far and named ones still ahead.
    size_t known() const { return m_given + size_t(m_choice.arguments.size() - m_nextArgument); }
    // Whether every picture is known (the list read to its end, every
    // folder walked).
    bool complete() const
    {
        const bool argumentsKnown = !m_choice.recursive || m_nextArgument >= m_choice.arguments.size();
        return argumentsKnown && m_walk.empty() && m_choice.list.isEmpty();
    }
    // Files that are not pictures, left out of the folders walked.
    size_t skipped() const { return m_skipped; }

private:
    struct Folder;
    class ListReader;

    std::optional<RunInput> nextOfAny();
    std::optional<RunInput> nextFromWalk();
    std::optional<RunInput> take(const Operand &input, const QString &resultFolder);
    std::optional<RunInput> enter(const QString &folder, const QString &resultFolder);

    InputChoice m_choice;
    OutputClaims &m_claims;
    const std::atomic<bool> &m_stop;
    qsizetype m_nextArgument = 0;
    qsizetype m_named = 0; // the picture named that the walk under way comes of
    std::unique_ptr<ListReader> m_listReader;
    std::vector<Folder> m_walk;
    QString m_resultFolderIdentity;
    size_t m_given = 0;
    size_t m_skipped = 0;
};
