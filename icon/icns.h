#pragma once

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// macOS icon families (.icns): the header "icns" and the file's length,
// then elements, each a four-letter type, its length (with its own eight
// bytes) and its data; every number big-endian. The type says the size and
// the kind of data: PNG streams for today's entries (16 to 1024 pixels,
// with their Retina "@2x" kinds), raw or run-length pixels with separate
// masks for the oldest.

// One element: its type and its data.
struct IcnsElement
{
    QByteArray type;
    QByteArray data;
};

// The icon family holding `elements` in the order given.
QByteArray encodeIcns(const std::vector<IcnsElement> &elements);

// What a type of element holds: its side in pixels, and how.
enum class IcnsKind {
    Png,          // a PNG stream (or, from older writers, JPEG 2000)
    Argb,         // ARGB pixels, run-length coded ("ARGB" first)
    RunLength24,  // RGB pixels, run-length coded per channel; a mask apart
    Mask8,        // the 8-bit alpha of the RunLength24 element of its size
    Other,        // an element Tervana does not read (1-bit, 4-bit, 8-bit icons, TOC, info)
};
struct IcnsType
{
    int side = 0;
    IcnsKind kind = IcnsKind::Other;
    bool retina = false; // an "@2x" element: twice its point size
};
IcnsType icnsTypeOf(const QByteArray &type);

// The PNG types this program writes, each with its side, largest first:
// every size macOS asks for, the @2x kinds too.
struct IcnsPngType
{
    const char *type;
    int side;
};
const std::vector<IcnsPngType> &icnsPngTypes();

bool isIcns(const QByteArray &head);

// Hands each element of the icon family `file` to `visit` in order, with
// where its data begins, holding none: the type and data are views of the
// file's bytes, valid while it is. What is wrong with its structure is
// returned (an element that runs past the end, a length too short for its
// own header, a header that claims more than the file holds); the
// elements before it are visited.
QStringList walkIcns(const QByteArray &file, const std::function<void(const IcnsElement &, qint64)> &visit);

// The data of a run-length element (RunLength24 or the Argb kind after its
// "ARGB"), unpacked into `channels` planes of `side` x `side` bytes; empty
// when the runs do not fill them exactly.
QByteArray unpackIcnsRuns(const QByteArray &data, int side, int channels);
