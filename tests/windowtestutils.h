#pragma once

// Fixtures of the tests that drive the window: a window wired to scripted
// dialogs.

#include "boxtestutils.h"
#include "testutils.h"

#include "frmbmp2icon.h"
#include "picturefiles.h"
#include "scripteddialogs.h"

#include <QFileDialog>

namespace testutils {

// A window driven by scripted dialogs, its program folder in a sandbox and
// its work files there, as a program run from its build folder keeps them.
struct ScriptedWindow
{
    explicit ScriptedWindow(const QString &programFolder,
                            std::chrono::milliseconds workFileWait = WindowServices().workFileWait)
        : window(std::make_unique<frmBmp2Icon>(
              WindowServices{&dialogs, &boxes, programFolder, programFolder, workFileWait}))
    {
    }

    ScriptedFileDialog dialogs;
    ScriptedMessageBoxes boxes;
    std::unique_ptr<frmBmp2Icon> window;

    frmBmp2Icon *operator->() const { return window.get(); }
    // Shows the window; false when it was not on screen in time.
    bool shown()
    {
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }
    // The Open command, its dialog answered with `picture`.
    void open(const QString &picture, int filterIndex = 1)
    {
        dialogs.choose(picture, filterIndex);
        window->Command3_Click();
    }
    // A picture named on the command line (or given by "Open with"),
    // opened as soon as the window is free.
    void openNamed(const QString &picture)
    {
        window->OpenPictureLater(picture);
        QCoreApplication::processEvents();
    }
    // The Save command, its dialog answered with `path` and filter entry
    // `filterIndex`; entry 3's colour question takes the next scripted answer.
    void save(const QString &path, int filterIndex = 1)
    {
        dialogs.choose(path, filterIndex);
        window->Command1_Click();
    }
    // The prompt of the first message box shown, for a failure's report.
    QString firstPrompt() const { return boxes.shown.isEmpty() ? QString() : boxes.shown.first().prompt; }
};

// What the real file dialog made from `request` shows and does, a line each:
// open or save, its title, its filters, the one selected, its folder, whether
// it asks before replacing a file, whether a typed name need not exist, and
// the ending it adds to a name.
inline QStringList realDialogSays(const FileDialogRequest &request)
{
    const std::unique_ptr<QFileDialog> dialog = QtFileDialogBackend().createDialog(request);
    return {dialog->acceptMode() == QFileDialog::AcceptSave ? QStringLiteral("save") : QStringLiteral("open"),
            dialog->windowTitle(),
            dialog->nameFilters().join(QLatin1String(" | ")),
            dialog->selectedNameFilter(),
            QDir(dialog->directory()).canonicalPath(),
            dialog->testOption(QFileDialog::DontConfirmOverwrite) ? QStringLiteral("replaces without asking")
                                                                  : QStringLiteral("asks before replacing"),
            dialog->fileMode() == QFileDialog::AnyFile ? QStringLiteral("any name") : QStringLiteral("existing files"),
            QStringLiteral("adds \"%1\"").arg(dialog->defaultSuffix())};
}

constexpr auto defaultPointer = frmBmp2Icon::Pointer::Default;
constexpr auto hourglass = frmBmp2Icon::Pointer::Hourglass;

} // namespace testutils
