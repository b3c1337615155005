#pragma once

#include "colour.h"
#include "commondialog.h"
#include "controls.h"
#include "messagebox.h"
#include "picturebox.h"

#include <QString>
#include <QWidget>

// What the window needs from outside: the dialogs it shows and the folder of
// the program. The program passes Qt's dialogs; tests pass scripted ones.
struct WindowServices
{
    FileDialogBackend *fileDialogs = nullptr;
    MessageBoxes *messageBoxes = nullptr;
    QString programFolder;
};

// The one window of Tervana: a credits panel, the 32 x 32 preview and the
// Open, Save and Exit buttons, plus the never-seen surfaces the picture
// passes through on its way to the icon.
class frmBmp2Icon : public QWidget
{
    Q_OBJECT

public:
    static constexpr Colour windowBackColor = 0x00DCC5B8;
    static constexpr Colour exitBackColor = 0x001247D1;

    explicit frmBmp2Icon(const WindowServices &services, QWidget *parent = nullptr);
    ~frmBmp2Icon() override;

    Colour BackColor() const { return windowBackColor; }
    int MousePointer() const { return m_mousePointer; }
    // 0 is the default arrow, 11 the hourglass.
    void setMousePointer(int pointer);

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

    // Writes the icon made of picImage's colours and picMask's transparency
    // (pure white) to `path`, whole or not at all, and says why it could not.
    // It shows no message of its own.
    VbError WriteIconFile(const QString &path);
    static quint8 BitStringToByte(const QString &bits);

    // The Open command (the "Apri" button).
    void Command3_Click();

signals:
    // Raised by a close request, before the window closes.
    void queryUnload();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void applyTabOrder();
    void Load();
    bool QueryUnload();
    void Command2_Click();
    // The Open command's steps; returns the message for the user when a step
    // fails, or nothing.
    QString OpenPicture();
    void FitIntoPicture5();

    WindowServices m_services;
    int m_mousePointer = 0;
    bool m_centred = false;
};
