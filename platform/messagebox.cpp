#include "messagebox.h"

#include <QCoreApplication>
#include <QMessageBox>

int MessageBoxes::show(const QString &prompt, int buttons, const QString &title)
{
    return ask(prompt, buttons, title.isEmpty() ? QCoreApplication::applicationName() : title);
}

int QtMessageBoxes::ask(const QString &prompt, int buttons, const QString &title)
{
    QMessageBox box(m_parent.data());
    box.setWindowTitle(title);
    box.setText(prompt);
    if (buttons == MsgBox::vbYesNo) {
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MsgBox::vbYes : MsgBox::vbNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgBox::vbOK;
}
