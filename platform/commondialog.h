#pragma once

#include "vberror.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QFileDialog;
class QWidget;

// What the window asks of a file dialog, and what comes back.
struct FileDialogFilter
{
    QString description;
    QString pattern;
};

struct FileDialogRequest
{
    enum class Kind { Open, Save };
    Kind kind = Kind::Open;
    QString title;
    QList<FileDialogFilter> filters;
    int filterIndex = 1; // 1-based
    QString initDir;
    QString fileName;
    bool confirmOverwrite = false;
};

struct FileDialogAnswer
{
    bool accepted = false;
    QString fileName;
    int filterIndex = 1;
};

// Whatever shows the file dialogs: Qt's own dialog for people, a scripted
// stand-in for tests.
class FileDialogBackend
{
public:
    virtual ~FileDialogBackend() = default;
    virtual FileDialogAnswer run(const FileDialogRequest &request) = 0;
};

class QtFileDialogBackend : public FileDialogBackend
{
public:
    explicit QtFileDialogBackend(QWidget *parent = nullptr)
        : m_parent(parent)
    {
    }
    void setParent(QWidget *parent) { m_parent = parent; }
    FileDialogAnswer run(const FileDialogRequest &request) override;
    // The dialog as it would be shown for `request`, not yet shown.
    std::unique_ptr<QFileDialog> createDialog(const FileDialogRequest &request) const;

private:
    QPointer<QWidget> m_parent;
};

// Answers each dialog with the next scripted answer (cancel when none is
// left) and keeps every request it was given.
class ScriptedFileDialog : public FileDialogBackend
{
public:
    void choose(const QString &fileName, int filterIndex = 1) { m_answers.append({true, fileName, filterIndex}); }
    void cancel() { m_answers.append({false, QString(), 0}); }
    FileDialogAnswer run(const FileDialogRequest &request) override;

    QList<FileDialogRequest> requests;

private:
    QList<FileDialogAnswer> m_answers;
};

// The common-dialog control: properties set one by one, then ShowOpen or
// ShowSave. FileName and FilterIndex carry over from one use to the next.
class CommonDialog : public QObject
{
    Q_OBJECT

public:
    // Flags bits, with the meanings the file dialogs give them.
    static constexpr quint32 OFN_READONLY = 0x1;        // read-only box ticked
    static constexpr quint32 OFN_OVERWRITEPROMPT = 0x2; // confirm before replacing a file
    static constexpr quint32 OFN_HIDEREADONLY = 0x4;    // no read-only box

    explicit CommonDialog(FileDialogBackend *backend, QObject *parent = nullptr);

    bool CancelError = false;
    QString FileName;
    QString Filter; // "description|pattern|description|pattern"
    int FilterIndex = 0;
    QString DialogTitle;
    quint32 Flags = 0;
    QString InitDir;

    // Show the dialog. A cancel empties FileName and, with CancelError set,
    // returns the cancel failure (32755); otherwise it returns no failure.
    VbError ShowOpen();
    VbError ShowSave();

    FileDialogBackend *backend() const { return m_backend; }
    void setBackend(FileDialogBackend *backend) { m_backend = backend; }

    // "a|b|c|d" as its entries {a, b} and {c, d}.
    static QList<FileDialogFilter> parseFilter(const QString &filter);

private:
    VbError show(FileDialogRequest::Kind kind);

    FileDialogBackend *m_backend;
};
