#pragma once

#include "colour.h"
#include "gdi.h"
#include "iconfile.h"
#include "vberror.h"

#include <QString>

class MessageBoxes;

// What the icon build needs of the main window: the routine that turns its
// Picture5 into the icon files.
class IconBuilder
{
public:
    virtual ~IconBuilder() = default;
    virtual VbError Create24BitIcon() = 0;
};

// The program-wide state of the icon build and the routines that lead from
// the Save command to the window's icon writer.
namespace Module1 {

// The memory surface holding the captured 32 x 32 picture; it exists only
// from the capture of a save until the Save command releases it.
extern gdi::HDC MemDC;
extern gdi::HBITMAP MemBitmap;
// 24 for a colour icon, 1 for black and white.
extern qint32 BitDepth;
// A picture pixel of exactly this colour becomes transparent.
extern Colour TransparentColor;
extern gdi::BITMAPINFO BmpInfo;

// The icon header records, filled by InitIconHeaders before each icon file.
extern IconDirRecord IconDir;
extern IconEntryRecord IconEntry;
extern IconHeaderRecord IconHeader;

// Sets every field of the three header records to the values of a 32 x 32,
// 24-bit icon, the zero fields included.
void InitIconHeaders();

// The main window's one instance, and where the build's messages go; a
// window that goes away takes itself out (only if it is still the one).
void setMainWindow(IconBuilder *window, MessageBoxes *messageBoxes);
void forgetMainWindow(IconBuilder *window);

// Builds the icon from the main window's Picture5 and writes it to the file
// the save dialog chose, then to the temp work file. Shows its own message if
// the build fails and always returns normally.
void SaveIcon(const QString &path, gdi::HDC memDC, gdi::HBITMAP memBitmap, qint32 bitDepth);

// Checks that a width x height, 24-bit surface can be made beside `referenceDC`
// (it draws nothing). Shows a message and returns false when it cannot.
bool ChangePixels(gdi::HDC referenceDC, qint32 width, qint32 height, Colour brushColour);

// Has the main window build the icon; passes on its failure.
VbError MakeIcon();

// Fills BmpInfo's header for a width x height, 24-bit uncompressed surface.
void describeSurface(qint32 width, qint32 height);

} // namespace Module1
