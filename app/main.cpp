#include "frmbmp2icon.h"
#include "workfolder.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tervana"));
    QApplication::setApplicationVersion(QStringLiteral(TERVANA_VERSION));
    // Lets the desktop match the window to its launcher entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.tervana"));

    // The program takes no arguments of its own: it starts straight into
    // its window whatever the command line holds.
    QtFileDialogBackend fileDialogs;
    QtMessageBoxes messageBoxes;
    const QString programFolder = QCoreApplication::applicationDirPath();
    frmBmp2Icon window({&fileDialogs, &messageBoxes, programFolder,
                        workFolderFor(programFolder, QStringLiteral(TERVANA_BUILD_FOLDER))});
    fileDialogs.setParent(&window);
    messageBoxes.setParent(&window);
    window.show();
    return app.exec();
}
