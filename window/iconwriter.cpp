// The icon file writer and the window's end of the icon build: Picture5
// becomes picImage's colours and picMask's transparency (pure white), and
// those two surfaces become the icon files.

#include "frmbmp2icon.h"

#include "atomicfile.h"
#include "module1.h"
#include "workfolder.h"

#include <QGuiApplication>

namespace {

// The 32 x 32 pixels of both surfaces: colours from one, transparency (only
// exact white; a failed read is opaque) from the other.
IconPixels readSurfaces(const PictureBox &image, const PictureBox &mask)
{
    IconPixels pixels;
    for (int y = 0; y < IconFile::side; ++y) {
        for (int x = 0; x < IconFile::side; ++x) {
            pixels.colour(x, y) = image.Point(x, y);
            pixels.isTransparent(x, y) = mask.Point(x, y) == Colours::white;
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
    const Module1::IconHeaders headers = Module1::InitIconHeaders();
    return writeIcon(path, encodeIcon24(readSurfaces(*picImage, *picMask), headers.IconDir, headers.IconEntry,
                                        headers.IconHeader));
}

VbError frmBmp2Icon::WriteMonochromeIconFile(const QString &path)
{
    return writeIcon(path, encodeIcon1(readSurfaces(*picImage, *picMask)));
}

VbError frmBmp2Icon::Create24BitIcon(const QString &chosen, qint32 bitDepth)
{
    // What is drawn on Picture5 becomes its picture.
    Picture5->setPicture(Picture5->Image());
    const bool colour = bitDepth == 24;

    Picture6->setPicture(Picture5->Picture());
    picImage->setPicture(Picture5->Picture());
    BuildMask();

    const QString temp = workFilePath(m_services.workFolder, QStringLiteral("temp"));
    const auto write = [&](const QString &path) {
        return colour ? WriteIconFile(path) : WriteMonochromeIconFile(path);
    };
    // The temp copy is written even when the chosen file could not be; the
    // chosen file's failure goes back to the Save command to report.
    const VbError chosenFailure = write(chosen);
    write(temp);
    return chosenFailure;
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
