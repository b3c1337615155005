#include "scripteddialogs.h"

FileDialogAnswer ScriptedFileDialog::run(const FileDialogRequest &request)
{
    requests.append(request);
    if (onShow)
        onShow();
    if (m_answers.isEmpty())
        return {false, QString(), request.filterIndex};
    return m_answers.takeFirst();
}

int ScriptedMessageBoxes::ask(const QString &prompt, int buttons, const QString &title)
{
    shown.append({prompt, buttons, title});
    if (onShow)
        onShow();
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return buttons == MsgBox::vbYesNo ? MsgBox::vbNo : MsgBox::vbOK;
}
