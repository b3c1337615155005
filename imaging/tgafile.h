#pragma once

#include "failure.h"

#include <QByteArray>
#include <QIODevice>
#include <QSize>

#include <optional>

// TGA pictures. A TGA file has no signature, so it is told by a header
// whose fields agree with one another, once icons and cursors, whose
// headers can look alike, are ruled out. The device is left where it was.

// The size a TGA header claims; nothing when the file is not a TGA.
std::optional<QSize> tgaClaimedSize(QIODevice &device);

// The file's bytes as Qt's TGA reader takes them, or why it cannot read
// them. That reader takes only uncompressed true-colour pictures in files
// that end with the TGA 2.0 footer; older files, without one, are given one.
// Other kinds, and files cut short, are refused.
struct TgaBytes
{
    QByteArray bytes;
    std::optional<Failure> failure;
};
TgaBytes tgaBytesForQt(QIODevice &device);
