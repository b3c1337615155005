// The icon file writer: the window's two work surfaces, picImage (colours)
// and picMask (pure white marks a transparent pixel), become one icon file.

#include "frmbmp2icon.h"

#include "atomicfile.h"
#include "module1.h"

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

} // namespace

VbError frmBmp2Icon::WriteIconFile(const QString &path)
{
    Module1::InitIconHeaders();
    const QByteArray bytes = encodeIcon24(readSurfaces(picImage->hDC(), picMask->hDC()), Module1::IconDir,
                                          Module1::IconEntry, Module1::IconHeader);
    // The whole file or nothing: a failed write leaves any earlier file as it was.
    const VbError failure = writeFileAtomically(path, bytes);
    if (failure) {
        // The writer shows nothing; it only puts the screen pointer back.
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }
    return failure;
}

quint8 frmBmp2Icon::BitStringToByte(const QString &bits)
{
    return bitStringToByte(bits);
}
