#pragma once

#include "colour.h"

#include <QImage>
#include <QtGlobal>

// The few drawing-library calls the icon build needs, in the classic
// handle-based form: memory device contexts, 24-bit DIB sections, solid
// brushes, a block copy from a window surface and a pixel read. Every object
// created is counted until it is deleted, so a caller can prove it released
// all it made. Everything runs on the one user-interface thread.
namespace gdi {

using HDC = quintptr;
using HBITMAP = quintptr;
using HBRUSH = quintptr;
using HGDIOBJ = quintptr;

constexpr quint32 SRCCOPY = 0x00CC0020;
constexpr quint32 DIB_RGB_COLORS = 0;
constexpr quint32 BI_RGB = 0;

struct BITMAPINFOHEADER
{
    quint32 biSize = 0;
    qint32 biWidth = 0;
    qint32 biHeight = 0;
    quint16 biPlanes = 0;
    quint16 biBitCount = 0;
    quint32 biCompression = 0;
    quint32 biSizeImage = 0;
    qint32 biXPelsPerMeter = 0;
    qint32 biYPelsPerMeter = 0;
    quint32 biClrUsed = 0;
    quint32 biClrImportant = 0;
};

struct RGBQUAD
{
    quint8 rgbBlue = 0;
    quint8 rgbGreen = 0;
    quint8 rgbRed = 0;
    quint8 rgbReserved = 0;
};

struct BITMAPINFO
{
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

// A window surface that a device context can be opened on (a picture box).
class Surface
{
public:
    virtual ~Surface() = default;
    virtual Colour surfacePixel(int x, int y) const = 0;
    virtual QImage surfaceImage() const = 0;
};

// A surface's own device context; lives as long as the surface and is not
// counted among the created objects.
HDC registerSurface(const Surface *surface);
void unregisterSurface(HDC dc);

HDC CreateCompatibleDC(HDC reference);
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO &info, quint32 usage, void **bits, quintptr section,
                         quint32 offset);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
bool BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            quint32 rasterOperation);
Colour GetPixel(HDC dc, int x, int y);
HBRUSH CreateSolidBrush(Colour colour);
bool DeleteDC(HDC dc);
bool DeleteObject(HGDIOBJ object);

// Device contexts, bitmaps and brushes created and not yet deleted.
int liveObjectCount();

// Lets a test make the n-th coming call of one kind fail the way the real
// library can fail (a zero result), to drive the callers' failure paths.
enum class Call { None, BitBlt, SelectObject, CreateDIBSection };
void failCall(Call call, int nth = 1);

} // namespace gdi
