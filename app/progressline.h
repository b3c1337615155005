#pragma once

#include "batch.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

// What a long run shows while it goes: on a terminal, one line updated in
// place (pictures done of those known, the rate, the time left, the
// failures so far), from half a second into the run; elsewhere, when asked
// for (--progress), a line every few seconds. Failure lines go above it.
class ProgressLine
{
public:
    enum class Shown { Never, OnTerminal, InLines };
    ProgressLine(FILE *stream, Shown shown);

    void update(const RunCounts &counts);
    // A line that stays, printed above the progress line: on its stream,
    // or on `stream` (standard output, for the files a run writes).
    void printAbove(const QString &line, FILE *stream = nullptr);
    // Takes the progress line away, before the run's last words.
    void clear();
    qint64 elapsedMs() const { return m_clock.elapsed(); }

private:
    QString text(const RunCounts &counts) const;
    void draw();

    FILE *m_stream;
    Shown m_shown;
    QElapsedTimer m_clock;
    qint64 m_lastDrawn = -1;
    QString m_text;
    bool m_onScreen = false;
};

// The summary a run ends with: "300 converted, 2 failed, 1.2 s".
QString runSummary(const RunCounts &counts, qint64 elapsedMs);
