// The icon build: the square on Picture5 becomes an icon file, written to
// the file the Save dialog chose and to the temp work file.

#include "frmbmp2icon.h"

#include "atomicfile.h"
#include "workfolder.h"

std::optional<Failure> frmBmp2Icon::SaveIcon(const QString &chosen, SquareOutput output)
{
    // What is drawn on Picture5 becomes its picture.
    Picture5->setPicture(Picture5->Image());
    Picture6->setPicture(Picture5->Picture());
    const QImage square = Picture5->Picture().image();
    ShowOnWorkSurfaces(square);

    const QByteArray icon = encodeSquare(square, output);
    // The temp copy is written even when the chosen file could not be; the
    // chosen file's failure goes back to the Save command to report.
    std::optional<Failure> chosenFailure = writeFile(chosen, icon);
    writeFile(workFilePath(m_services.workFolder, QStringLiteral("temp")), icon);
    return chosenFailure;
}

void frmBmp2Icon::ShowOnWorkSurfaces(const QImage &square)
{
    picImage->setPicture(Picture(square));
    const IconPixels pixels = iconPixelsOf(square);
    for (int y = 0; y < IconFile::side; ++y) {
        for (int x = 0; x < IconFile::side; ++x) {
            const bool transparent = pixels.isTransparent(x, y);
            picMask->PSet(x, y, transparent ? Colours::white : Colours::black);
            if (transparent)
                picImage->PSet(x, y, Colours::black);
        }
    }
}
