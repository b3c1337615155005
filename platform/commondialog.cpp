#include "commondialog.h"

#include <QFileDialog>

QList<FileDialogFilter> CommonDialog::parseFilter(const QString &filter)
{
    QList<FileDialogFilter> filters;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append({parts[i], parts[i + 1]});
    return filters;
}

CommonDialog::CommonDialog(FileDialogBackend *backend, QObject *parent)
    : QObject(parent)
    , m_backend(backend)
{
}

bool CommonDialog::ShowOpen()
{
    return show(FileDialogRequest::Kind::Open);
}

bool CommonDialog::ShowSave()
{
    return show(FileDialogRequest::Kind::Save);
}

bool CommonDialog::show(FileDialogRequest::Kind kind)
{
    FileDialogRequest request;
    request.kind = kind;
    request.title = m_dialogTitle;
    request.filters = parseFilter(m_filter);
    request.filterIndex = m_filterIndex;
    request.initDir = m_initDir;
    request.fileName = m_fileName;
    request.confirmOverwrite = (m_flags & OFN_OVERWRITEPROMPT) != 0;
    const FileDialogAnswer answer = m_backend->run(request);
    if (!answer.accepted) {
        m_fileName.clear();
        return false;
    }
    m_fileName = answer.fileName;
    m_filterIndex = answer.filterIndex;
    return true;
}

// Qt takes a filter's patterns from the parentheses at its end; a
// description that already ends with them is used as it stands.
static QString qtNameFilter(const FileDialogFilter &filter)
{
    QString patterns = filter.pattern;
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    const QString shown = QStringLiteral("(%1)").arg(patterns);
    if (filter.description.endsWith(shown))
        return filter.description;
    return QStringLiteral("%1 %2").arg(filter.description, shown);
}

std::unique_ptr<QFileDialog> QtFileDialogBackend::createDialog(const FileDialogRequest &request) const
{
    auto dialog = std::make_unique<QFileDialog>(m_parent.data());
    // Qt's own dialog behaves the same on every platform, and scripts and
    // tests can drive it.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowTitle(request.title);
    const bool saving = request.kind == FileDialogRequest::Kind::Save;
    dialog->setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A typed name is returned as typed: the open dialog does not insist that
    // the file exists, and no extension is added.
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    QStringList nameFilters;
    for (const FileDialogFilter &filter : request.filters)
        nameFilters.append(qtNameFilter(filter));
    if (!nameFilters.isEmpty()) {
        dialog->setNameFilters(nameFilters);
        const int index = qBound(1, request.filterIndex, int(nameFilters.size()));
        dialog->selectNameFilter(nameFilters[index - 1]);
    }
    if (!request.initDir.isEmpty())
        dialog->setDirectory(request.initDir);
    if (!request.fileName.isEmpty())
        dialog->selectFile(request.fileName);
    return dialog;
}

FileDialogAnswer QtFileDialogBackend::run(const FileDialogRequest &request)
{
    const std::unique_ptr<QFileDialog> dialog = createDialog(request);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {false, QString(), request.filterIndex};
    const int index = int(dialog->nameFilters().indexOf(dialog->selectedNameFilter())) + 1;
    return {true, QDir::toNativeSeparators(dialog->selectedFiles().constFirst()), index > 0 ? index : 1};
}
