#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <vector>

// Windows' animated cursors (.ani): a RIFF file of form "ACON". An optional
// LIST "INFO" with the title (INAM) and the author (IART); the "anih"
// header (its own size, 36, the counts of frames and steps, four zeros that
// say the frames are cursor files, the default time a step shows, and its
// flags: the frames are cursor files, and a sequence is given); a "rate"
// chunk with each step's time when they differ; a "seq " chunk with the
// frame of each step when a frame shows more than once or out of order;
// then LIST "fram" with each frame, a whole .cur file, in an "icon" chunk.
// Times count in jiffies, sixtieths of a second. Chunks of an odd size are
// padded to an even one. Everything little-endian.

// The time a step of `milliseconds` shows, in jiffies: rounded, and never
// less than one.
quint32 jiffiesOf(int milliseconds);

// One step of an animation: the cursor file it shows, and for how long.
struct AniStep
{
    QByteArray cursor;
    quint32 jiffies = 1;
};

// The animated cursor showing `steps` in order, each distinct cursor file
// stored once; `title` and `author` when given.
QByteArray encodeAniCursor(const std::vector<AniStep> &steps, const QString &title = QString(),
                           const QString &author = QString());
