#pragma once

#include <QLockFile>
#include <QString>

#include <chrono>

// Where the program keeps its work files: its own folder, as the platform
// reports it, or, when that folder cannot be written (an installed program
// often lives in a read-only folder), the user's application data folder.
// Returns the folder joined with `name` by the platform's separator.
QString workFilePath(const QString &programFolder, const QString &name);

// Keeps every other Tervana started from the same folder away from one work
// file while this one writes it and reads it back: a lock file beside it,
// "<work file>.lock", held for the object's lifetime. A lock left by a
// process that has died is taken over.
class WorkFileLock
{
public:
    WorkFileLock(const QString &workFile, std::chrono::milliseconds wait);
    WorkFileLock(const WorkFileLock &) = delete;
    WorkFileLock &operator=(const WorkFileLock &) = delete;

    bool isLocked() const { return m_locked; }
    // Why the lock could not be taken, in words a message can show.
    QString reason() const;

private:
    QLockFile m_lock;
    bool m_locked = false;
};
