#pragma once

#include "damagelist.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <optional>
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

// One step of an animation: the frame it shows, counted from 0, and for
// how long.
struct AniStep
{
    quint32 frame = 0;
    quint32 jiffies = 1;
};

// The animated cursor whose frames are the cursor files `frames`, showing
// `steps` in order; `title` and `author` when given.
QByteArray encodeAniCursor(const std::vector<QByteArray> &frames, const std::vector<AniStep> &steps,
                           const QString &title = QString(), const QString &author = QString());

// What an animated cursor file holds, as its chunks say, and what is wrong
// with it. Only the RIFF structure is read here: each frame is handed on as
// the cursor (or icon) file it holds, for the icon module's own reading.
struct AniCursorContents
{
    // How many frames the file holds, and the cursor or icon file of each
    // of the first ones asked for, in the file's order: views of the file's
    // bytes, valid while it is.
    qint64 frameCount = 0;
    std::vector<QByteArray> frames;
    // How many steps the file shows (as its header says), and of each of
    // the first ones asked for, the frame it shows and for how many
    // jiffies.
    qint64 stepCount = 0;
    std::vector<quint32> sequence;
    std::vector<quint32> jiffies;
    // Whether the file gives each step's time ("rate") and its frames'
    // order ("seq ") itself, rather than one time and the frames in order.
    bool ratesGiven = false;
    bool sequenceGiven = false;
    // As the file gives them, which may be any text at all.
    QString title;
    QString author;
    // Why the file is damaged: a chunk that runs past the end, no header,
    // counts that disagree, a step that shows a frame the file does not
    // hold. Empty when it is whole.
    DamageList damage;
};

// Whether `head`, a file's first bytes, opens an animated cursor: a RIFF
// file of form "ACON".
bool isAniCursor(const QByteArray &head);

// What the animated cursor `file` holds; nothing when it is no animated
// cursor at all. Of its frames and of its steps, the first `held` are kept,
// and each frame, kept or not, is handed to `eachFrame` (when given) as it
// is found, with its number from 0: a file of millions of frames or steps
// is walked without holding them. However its chunks lie, no more is read
// or held than the file holds.
using AniFrameVisit = std::function<void(qint64 number, const QByteArray &frame)>;
std::optional<AniCursorContents> readAniCursor(const QByteArray &file, size_t held = SIZE_MAX,
                                               const AniFrameVisit &eachFrame = {});
