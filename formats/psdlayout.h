#pragma once

#include "devicereader.h"

#include <QRgb>
#include <QSize>
#include <QString>

#include <array>
#include <optional>

// A Photoshop file (.psd, and .psb for large documents): its header, and
// where the picture all its layers make together, the composite, is kept.
// The header (26 bytes) is followed by three sections, each led by its
// length: the colour mode data (an indexed picture's palette), the image
// resources and the layers; then the composite, raw or in run lengths, one
// channel after another.

// The most pixels a side of each kind of file holds.
constexpr int psdLongestSide = 30000;
constexpr int psbLongestSide = 300000;
// Channels a file may hold, the colour ones and any others.
constexpr int psdMostChannels = 56;

// The colour modes the header names that Tervana reads.
enum PsdMode : int { PsdBitmap = 0, PsdGrey = 1, PsdIndexed = 2, PsdRgb = 3, PsdCmyk = 4 };

struct PsdLayout
{
    bool large = false; // a .psb: row lengths of four bytes
    int storedChannels = 0;
    QSize size;
    int depth = 8; // bits a sample: 1 (bitmap), 8 or 16
    int mode = PsdRgb;
    int colourChannels = 3;
    // Whether the channel after the colour ones is the composite's
    // transparency (psdlayout.cpp says when).
    bool alpha = false;
    // An indexed picture's colours.
    std::array<QRgb, 256> palette{};
    bool runLengths = false;
    // Where the composite's data starts, just after its compression.
    qint64 dataStart = 0;

    qint64 rowBytes() const { return (qint64(size.width()) * depth + 7) / 8; }
    int channelsRead() const { return colourChannels + (alpha ? 1 : 0); }
    int rowLengthBytes() const { return large ? 4 : 2; }
};

// The layout of the file that starts where `in` does, or why it is not
// read: `cutShort` when a section runs past the end of the file, else a
// reason in a few words ("its colours are Lab colours").
struct PsdParse
{
    std::optional<PsdLayout> layout;
    bool cutShort = false;
    QString refusal;
};
PsdParse parsePsd(DeviceReader &in);

// The size the header (the file's first 26 bytes) states, and whether it
// is a .psb; an invalid size when `head` is no such header.
QSize psdStatedSize(const QByteArray &head);
bool isLargePsd(const QByteArray &head);
