#pragma once

#include "cursorframes.h"
#include "failure.h"

#include <QIODevice>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The configuration files xcursorgen makes cursors of, given as an input:
// text whose every line (blank lines and "#" comments aside) is
// "SIZE XHOT YHOT FILE [MS]". Each line's picture is a hand-drawn size of
// the cursor, pointing at XHOT,YHOT of its own pixels; the lines of one size
// are the frames of an animation in turn, each shown MS milliseconds (50
// when a line of an animation gives none, as xcursorgen takes it). FILE is
// found in the configuration's folder and never outside it: no absolute
// name, no "..", no link that leads out.

// A line read, before its picture is.
struct CursorConfigLine
{
    int number = 0; // in the file, from 1
    int size = 0;
    QPoint hotSpot;
    QString file;
    std::optional<int> milliseconds;
};

// The lines of a configuration's text, or why it is none that can be used.
struct CursorConfigLines
{
    std::vector<CursorConfigLine> lines;
    std::optional<Failure> failure;
};
CursorConfigLines parseCursorConfig(const QByteArray &text);

// Whether the device holds a configuration: its first line that is not
// blank or a comment is a configuration's line. The device is left as it
// stood.
bool isCursorConfig(QIODevice &device);

// The files a configuration names that are there within its folder, for the
// run to keep them from being written over; none when `path` is no
// configuration.
QStringList cursorConfigPictures(const QString &path);

// One picture a configuration names: its line, the file in its folder,
// and why that file may not be read (it leads out of the folder).
struct CursorConfigPicture
{
    CursorConfigLine line;
    QString path;
    std::optional<Failure> refusal;
};

// What the configuration in `device`, the file `path`, draws: each
// frame's picture of each size, in the order of the lines, and the steps
// that show the frames; or why it cannot be one cursor (it is no
// configuration that can be used; its sizes have different numbers of
// frames, or more than an animation has). The pictures are read by the caller (openinput.h).
struct CursorConfigPlan
{
    QString folder; // where its pictures are, every link followed
    std::vector<std::vector<CursorConfigPicture>> frames;
    std::vector<CursorStep> steps;
    std::optional<Failure> failure;
};
CursorConfigPlan planCursorConfig(QIODevice &device, const QString &path);

// Whether `location`, a file's path with every link followed, lies within
// `folder` (a configuration's): the check made again on the file as it is
// opened, so that a link changed meanwhile leads nowhere else.
bool isWithin(const QString &folder, const QString &location);
// Why a file that is not within it is refused.
Failure leadsOut();
