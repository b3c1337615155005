#include "module1.h"

#include "messagebox.h"

namespace Module1 {

gdi::HDC MemDC = 0;
gdi::HBITMAP MemBitmap = 0;
qint32 BitDepth = 0;
Colour TransparentColor = Colours::black;
gdi::BITMAPINFO BmpInfo{};

IconDirRecord IconDir{};
IconEntryRecord IconEntry{};
IconHeaderRecord IconHeader{};

namespace {
IconBuilder *mainWindow = nullptr;
MessageBoxes *messages = nullptr;
}

void InitIconHeaders()
{
    IconDir = iconDirValues();
    IconEntry = iconEntryValues();
    IconHeader = iconHeaderValues();
}

void setMainWindow(IconBuilder *window, MessageBoxes *messageBoxes)
{
    mainWindow = window;
    messages = messageBoxes;
}

void forgetMainWindow(IconBuilder *window)
{
    if (mainWindow == window)
        setMainWindow(nullptr, nullptr);
}

void describeSurface(qint32 width, qint32 height)
{
    BmpInfo.bmiHeader.biSize = 40;
    BmpInfo.bmiHeader.biWidth = width;
    BmpInfo.bmiHeader.biHeight = height;
    BmpInfo.bmiHeader.biPlanes = 1;
    BmpInfo.bmiHeader.biBitCount = 24;
    BmpInfo.bmiHeader.biCompression = gdi::BI_RGB;
}

void SaveIcon(const QString &path, gdi::HDC memDC, gdi::HBITMAP memBitmap, qint32 bitDepth)
{
    // Which files are written does not depend on these: the window writes
    // the dialog's file and the temp file at the depth held in BitDepth.
    Q_UNUSED(path);
    Q_UNUSED(memBitmap);
    Q_UNUSED(bitDepth);

    const gdi::HDC scratchDC = gdi::CreateCompatibleDC(memDC);
    describeSurface(32, 32);
    const gdi::HBITMAP scratchBitmap = gdi::CreateDIBSection(memDC, BmpInfo, gdi::DIB_RGB_COLORS, nullptr, 0, 0);
    gdi::SelectObject(scratchDC, scratchBitmap);

    ChangePixels(MemDC, 32, 32, Colours::black);
    const VbError failure = MakeIcon();

    // Released on every path, the failure's too.
    gdi::DeleteDC(scratchDC);
    gdi::DeleteObject(scratchBitmap);
    if (failure && messages)
        messages->show(QStringLiteral("SaveIcon error # %1 %2").arg(failure.number).arg(failure.description),
                       MsgBox::vbOKOnly);
}

bool ChangePixels(gdi::HDC referenceDC, qint32 width, qint32 height, Colour brushColour)
{
    const gdi::HBRUSH brush = gdi::CreateSolidBrush(brushColour);
    const gdi::HDC copyDC = gdi::CreateCompatibleDC(referenceDC);
    describeSurface(width, height);
    const gdi::HBITMAP copyBitmap = gdi::CreateDIBSection(referenceDC, BmpInfo, gdi::DIB_RGB_COLORS, nullptr, 0, 0);
    const bool selected = gdi::SelectObject(copyDC, copyBitmap) != 0;

    gdi::DeleteDC(copyDC);
    gdi::DeleteObject(copyBitmap);
    gdi::DeleteObject(brush);
    if (!selected && messages)
        messages->show(QStringLiteral("In ChangePixels - SelectObject(CopyDC, CopyBitmap) = 0"), MsgBox::vbOKOnly);
    return selected;
}

VbError MakeIcon()
{
    return mainWindow ? mainWindow->Create24BitIcon() : VbError::none();
}

} // namespace Module1
