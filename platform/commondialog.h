#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class QFileDialog;

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

    QString FileName() const { return m_fileName; }
    void setFileName(const QString &name) { m_fileName = name; }
    // "description|pattern|description|pattern", one pair per filter entry.
    QString Filter() const { return m_filter; }
    void setFilter(const QString &filter) { m_filter = filter; }
    // 1-based, the entry selected when the dialog opens and when it closed.
    int FilterIndex() const { return m_filterIndex; }
    void setFilterIndex(int index) { m_filterIndex = index; }
    QString DialogTitle() const { return m_dialogTitle; }
    void setDialogTitle(const QString &title) { m_dialogTitle = title; }
    quint32 Flags() const { return m_flags; }
    void setFlags(quint32 flags) { m_flags = flags; }
    QString InitDir() const { return m_initDir; }
    void setInitDir(const QString &folder) { m_initDir = folder; }

    // Show the dialog; false when the user cancelled it, which empties
    // FileName.
    bool ShowOpen();
    bool ShowSave();

    // "a|b|c|d" as its entries {a, b} and {c, d}.
    static QList<FileDialogFilter> parseFilter(const QString &filter);

private:
    bool show(FileDialogRequest::Kind kind);

    FileDialogBackend *m_backend;
    QString m_fileName;
    QString m_filter;
    int m_filterIndex = 0;
    QString m_dialogTitle;
    quint32 m_flags = 0;
    QString m_initDir;
};
