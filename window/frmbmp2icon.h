#pragma once

#include "colour.h"
#include "commondialog.h"
#include "controls.h"
#include "failure.h"
#include "messagebox.h"
#include "picturebox.h"
#include "square.h"

#include <QString>
#include <QWidget>

#include <chrono>
#include <functional>
#include <optional>

class QDropEvent;
class QMimeData;
class WorkFileLock;

// What the window needs from outside: the dialogs it shows, the folder of
// the program (where the Open dialog starts), the folder for its work files
// (see workFolderFor), and how long to wait for a work file that another
// Tervana is using. The program passes Qt's dialogs; tests pass scripted
// ones.
struct WindowServices
{
    FileDialogBackend *fileDialogs = nullptr;
    MessageBoxes *messageBoxes = nullptr;
    QString programFolder;
    QString workFolder;
    std::chrono::milliseconds workFileWait{5000};
    // Where the Open dialog starts, and the Save dialog until a save has
    // stored its folder: the program folder when empty.
    QString dialogFolder = QString();
};

// The one window of Tervana: a credits panel, the 32 x 32 preview and the
// Open, Save and Exit buttons, plus the never-seen surfaces the picture
// passes through on its way to the icon.
class frmBmp2Icon : public QWidget
{
    Q_OBJECT

public:
    static constexpr Colour windowBackColor{0x00DCC5B8};
    static constexpr Colour exitBackColor{0x001247D1};

    explicit frmBmp2Icon(const WindowServices &services, QWidget *parent = nullptr);
    ~frmBmp2Icon() override;

    Colour BackColor() const { return windowBackColor; }

    enum class Pointer { Default, Hourglass };
    Pointer MousePointer() const { return m_mousePointer; }
    // The hourglass for as long as it lives: however a command ends, the
    // pointer is what it was before again.
    class HourglassPointer
    {
    public:
        explicit HourglassPointer(frmBmp2Icon &window);
        ~HourglassPointer();
        HourglassPointer(const HourglassPointer &) = delete;
        HourglassPointer &operator=(const HourglassPointer &) = delete;

    private:
        frmBmp2Icon &m_window;
        Pointer m_before;
    };

    // The controls, by the names the rest of the program uses.
    Frame *Frame1;
    Frame *Frame2;
    Frame *Frame3;
    Frame *Frame4;
    PictureBox *Picture1;
    PictureBox *Picture2;
    PictureBox *Picture3;
    PictureBox *Picture4;
    PictureBox *Picture5;
    PictureBox *Picture6;
    PictureBox *picImage;
    PictureBox *picMask;
    Label *Label1;
    Label *Label2;
    Label *Label3;
    Label *Label4;
    Label *lblPath;
    CommandButton *Command1;
    CommandButton *Command2;
    CommandButton *Command3;
    CommonDialog *cmndlg;

    // Builds the icon of the square on Picture5, colour or black and white
    // (`output`), and writes it to `chosen` and to the temp work file. On the
    // way Picture5's drawing becomes its picture, and picImage and picMask
    // show the icon's colours and transparency. Returns why `chosen` could
    // not be written; the temp copy is written either way.
    std::optional<Failure> SaveIcon(const QString &chosen, SquareOutput output);

    // The Open command (the "Apri" button).
    void Command3_Click();
    // A file dropped on the window, opened as the Open command opens the
    // file its dialog chose: read by its content, whatever its name.
    void OpenDroppedPicture(const QString &path);
    // A picture to open as soon as the window is free, as a dropped one is
    // (a drop answered, or the window just shown): the picture named on the
    // command line. Nothing happens while a command runs.
    void OpenPictureLater(const QString &path);
    // The Save command (the "Salva" button).
    void Command1_Click();

    // What the Save command does once the dialog has chosen `path` with
    // filter entry `filterIndex` (1 icon, 2 bitmap, 3 colour or black and
    // white): build the file from the last Open's square, write it, show it
    // again. Settings and dialog are left alone. Returns the failure the
    // command would report.
    std::optional<Failure> SaveSquare(const QString &path, int filterIndex);

    // A step of the Save command: its failure, or the command ended on
    // purpose (a message already shown, or the user said No).
    struct StepOutcome
    {
        std::optional<Failure> failure;
        bool ended = false;
    };
    // The Save command's last step: shows the saved file on Picture6 and
    // Picture5, asking before shrinking a file bigger than 32 x 32.
    StepOutcome ReloadSavedIcon(const QString &chosen);

signals:
    // Raised by a close request, before the window closes.
    void queryUnload();

protected:
    void showEvent(QShowEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createCredits();
    void createPreview();
    void createCommands();
    void createWorkSurfaces();
    void applyTabOrder();
    void Load();
    bool QueryUnload();
    void Command2_Click();
    // Runs one command with the buttons disabled, so no other command can
    // start at one of its yields; a close request that came meanwhile is
    // carried out afterwards.
    void runCommand(const std::function<void()> &command);
    void setButtonsEnabled(bool enabled);
    // The Open command's steps; returns the message for the user when a step
    // fails, or nothing.
    std::optional<QString> OpenPicture();
    void startOpen();
    std::optional<QString> OpenPictureFile(const QString &fileName);
    void finishOpen(const std::optional<QString> &failure);
    // The one local file a drag carries, or nothing.
    static QString droppedPicture(const QMimeData *data);
    // Accepts a drag or drop of a file as a copy; false when it is not
    // one to take (not a picture, no copy offered, a command running).
    bool takeAsCopy(QDropEvent *event) const;
    // Draws Picture4's picture into Picture5, proportions kept and centred.
    void FitIntoPicture5();
    // Picture5 as a fresh window has it: no picture, its own background,
    // nothing drawn.
    void ClearSquare();
    // Waits for another window to be done with a work file, with the
    // hourglass up and the window repainting; false when it waited too long.
    bool waitForWorkFile(WorkFileLock &lock);

    // Returns the failure to report; none when it was saved or cancelled.
    std::optional<Failure> SaveCommand();
    void RestoreSaveDialogPlace();
    // Where the file dialogs start when nothing else says (WindowServices).
    QString dialogFolder() const;
    QString ProposedFileName() const;
    std::optional<Failure> SaveAsIcon(const QString &chosen);
    std::optional<Failure> SaveAsBitmap(const QString &chosen);
    std::optional<Failure> SaveInColourOrBlackAndWhite(const QString &chosen);
    // picImage and picMask as the icon of `square` has them: its colours,
    // and pure white where a pixel is transparent (painted black on picImage).
    void ShowOnWorkSurfaces(const QImage &square);
    void setMousePointer(Pointer pointer);

    WindowServices m_services;
    Pointer m_mousePointer = Pointer::Default;
    bool m_centred = false;
    bool m_busy = false;
    bool m_closePending = false;
    // The square the last Open made: blank when that Open was cancelled or
    // failed, and before any Open. Every save starts from it, so nothing an
    // earlier save left on Picture5 reaches the next file.
    ::Picture m_openedSquare;
};
