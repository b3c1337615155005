#pragma once

#include "colour.h"
#include "iconfile.h"
#include "vberror.h"

#include <QString>

class frmBmp2Icon;

// The icon build's own routines, between the Save command and the window's
// icon writer.
namespace Module1 {

// A picture pixel of exactly this colour becomes transparent.
constexpr Colour TransparentColor = Colours::black;

// The header records of a 32 x 32, 24-bit icon, every field set, the zero
// fields included.
struct IconHeaders
{
    IconDirRecord IconDir;
    IconEntryRecord IconEntry;
    IconHeaderRecord IconHeader;
};
IconHeaders InitIconHeaders();

// Has the window build the icon of its square at `bitDepth` (24 for colour,
// 1 for black and white) and write it to
// `path` and to the temp work file. Returns why `path` could not be
// written, for the Save command to report.
VbError SaveIcon(frmBmp2Icon &window, const QString &path, qint32 bitDepth);

} // namespace Module1
