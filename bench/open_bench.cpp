// tervana-open-bench INPUT OUTPUT.bmp
// Opens INPUT with the window's Open command, answered by a scripted file
// dialog, and writes Picture5's 32 x 32 square to OUTPUT.bmp. Exits 1 with
// the message on stderr if the window showed a message box.

#include "frmbmp2icon.h"
#include "picturefiles.h"
#include "scripteddialogs.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tervana-open-bench INPUT OUTPUT.bmp\n");
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);

    // The window keeps its work file in the program folder; use a throwaway one.
    QTemporaryDir programFolder;
    if (!programFolder.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }

    ScriptedFileDialog dialogs;
    ScriptedMessageBoxes boxes;
    dialogs.choose(input);
    frmBmp2Icon window(WindowServices{&dialogs, &boxes, programFolder.path(), programFolder.path()});
    window.Command3_Click();

    if (!boxes.shown.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(boxes.shown.first().prompt));
        return 1;
    }
    if (const std::optional<Failure> saved = SavePicture(window.Picture5->Image(), output)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(output), qPrintable(saved->reason));
        return 1;
    }
    return 0;
}
