#pragma once

#include <QLockFile>
#include <QString>

#include <chrono>

// The folder for the work files of a program in `programFolder` that was
// built in `buildFolder`: its own folder while it runs from where it was
// built; once installed anywhere else, the user's application data folder
// (for root too), so that an installed program never writes beside itself.
QString workFolderFor(const QString &programFolder, const QString &buildFolder);

// The folder the file dialogs of a program in `programFolder` that was built
// in `buildFolder` start in: its own folder while it runs from where it was
// built; once installed, where the user's own files are, the Pictures
// folder or, without one, the home folder (an installed program's folder
// holds nothing of the user's).
QString dialogFolderFor(const QString &programFolder, const QString &buildFolder);

// Where the program keeps its work files: its own folder, as the platform
// reports it, or, when no file can be made there (an installed program
// often lives in a folder its users cannot write), the user's application
// data folder. Returns the folder joined with `name` by the platform's
// separator.
QString workFilePath(const QString &programFolder, const QString &name);

// Keeps every other Tervana started from the same folder away from one work
// file while this one writes it and reads it back: a lock file beside it,
// "<work file>.lock", held from a successful tryLock until the object goes.
// A lock left by a process that has ended, or held for longer than anyone
// needs to write and read a work file, is taken over.
class WorkFileLock
{
public:
    explicit WorkFileLock(const QString &workFile);
    WorkFileLock(const WorkFileLock &) = delete;
    WorkFileLock &operator=(const WorkFileLock &) = delete;

    // Waits at most `wait` for the lock; true once it is held.
    bool tryLock(std::chrono::milliseconds wait);
    // Whether the last try failed because someone holds the lock, so that
    // waiting longer can help.
    bool isHeldElsewhere() const { return !m_notAFile && m_lock.error() == QLockFile::LockFailedError; }
    // Why the lock could not be taken, in words a message can show.
    QString reason() const;

private:
    QLockFile m_lock;
    bool m_notAFile = false;
};
