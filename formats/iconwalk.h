#pragma once

#include "structurewalk.h"

#include <QByteArray>
#include <QIODevice>

#include <limits>

// Chunks (length, type, data, check) up to the end chunk, which must come
// by `end` (an icon's image ends where its entry says).
Walk walkPng(DeviceReader &in, qint64 end = std::numeric_limits<qint64>::max());

// Every image an icon's or a cursor's directory (icondirectory.h) lists, as
// its own header sizes it.
Walk walkIcon(DeviceReader &in, QIODevice &device);
