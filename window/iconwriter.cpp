// The icon file writer and the window's end of the icon build: Picture5
// becomes picImage's colours and picMask's transparency (pure white), and
// those two surfaces become the icon files.

#include "frmbmp2icon.h"

#include "atomicfile.h"
#include "module1.h"
#include "workfolder.h"

#include <QGuiApplication>

namespace {

// Reads the 32 x 32 pixels of both surfaces through their device contexts.
IconPixels readSurfaces(gdi::HDC image, gdi::HDC mask)
{
    IconPixels pixels;
    for (int y = 0; y < IconFile::side; ++y) {
        for (int x = 0; x < IconFile::side; ++x) {
            pixels.colour(x, y) = gdi::GetPixel(image, x, y);
            // Only exact white is transparent; a failed read (-1) is opaque.
            pixels.isTransparent(x, y) = gdi::GetPixel(mask, x, y) == Colours::white;
        }
    }
    return pixels;
}

// The whole file or nothing: a failed write leaves any earlier file as it
// was. The writer shows nothing; on failure it only puts the screen pointer
// back and tells its caller why.
VbError writeIcon(const QString &path, const QByteArray &bytes)
{
    const VbError failure = writeFile(path, bytes);
    if (failure) {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }
    return failure;
}

} // namespace

VbError frmBmp2Icon::WriteIconFile(const QString &path)
{
    Module1::InitIconHeaders();
    const IconPixels pixels = readSurfaces(picImage->hDC(), picMask->hDC());
    return writeIcon(path, encodeIcon24(pixels, Module1::IconDir, Module1::IconEntry, Module1::IconHeader));
}

VbError frmBmp2Icon::WriteMonochromeIconFile(const QString &path)
{
    return writeIcon(path, encodeIcon1(readSurfaces(picImage->hDC(), picMask->hDC())));
}

quint8 frmBmp2Icon::BitStringToByte(const QString &bits)
{
    return bitStringToByte(bits);
}

VbError frmBmp2Icon::Create24BitIcon()
{
    // What is drawn on Picture5 becomes its picture, whatever the depth.
    Picture5->setPicture(Picture5->Image());
    const bool colour = Module1::BitDepth == 24;
    if (!colour && Module1::BitDepth != 1)
        return VbError::none();

    Picture6->setPicture(Picture5->Picture());
    picImage->setPicture(Picture5->Picture());
    BuildMask();

    const QString chosen = cmndlg->FileName();
    const QString temp = workFilePath(m_services.programFolder, QStringLiteral("temp"));
    const auto write = [&](const QString &path) {
        return colour ? WriteIconFile(path) : WriteMonochromeIconFile(path);
    };
    // The temp copy is written even when the chosen file could not be. The
    // chosen file's failure is kept for the Save command to report: the
    // build chain between them (SaveIcon) hands no failure back.
    m_chosenFileFailure = write(chosen);
    write(temp);
    return VbError::none();
}

// Column by column: a pixel of exactly the key colour turns white on the
// mask and black on the colour surface; every other pixel is opaque.
void frmBmp2Icon::BuildMask()
{
    for (int x = 0; x < IconFile::side; ++x) {
        for (int y = 0; y < IconFile::side; ++y) {
            if (Picture6->Point(x, y) == Module1::TransparentColor) {
                picMask->PSet(x, y, Colours::white);
                picImage->PSet(x, y, Colours::black);
            } else {
                picMask->PSet(x, y, Colours::black);
            }
        }
    }
}
