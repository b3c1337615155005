#pragma once

#include "commondialog.h"
#include "messagebox.h"

#include <QList>
#include <QString>

#include <functional>

// Answers each file dialog with the next scripted answer (cancel when none
// is left) and keeps every request it was given.
class ScriptedFileDialog : public FileDialogBackend
{
public:
    void choose(const QString &fileName, int filterIndex = 1) { m_answers.append({true, fileName, filterIndex}); }
    void cancel() { m_answers.append({false, QString(), 0}); }
    FileDialogAnswer run(const FileDialogRequest &request) override;

    QList<FileDialogRequest> requests;
    // Called while a dialog is "open", before it answers.
    std::function<void()> onShow;

private:
    QList<FileDialogAnswer> m_answers;
};

// Records every message box and answers with the next scripted answer;
// when none is left, OK for an OK box and No for a question.
class ScriptedMessageBoxes : public MessageBoxes
{
public:
    struct Shown
    {
        QString prompt;
        int buttons;
        QString title;
    };

    void answer(int reply) { m_answers.append(reply); }
    QList<Shown> shown;
    // Called while a box is "open", before it answers.
    std::function<void()> onShow;

protected:
    int ask(const QString &prompt, int buttons, const QString &title) override;

private:
    QList<int> m_answers;
};
