#include "shell/FileChoice.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

SaveFileHandler &InstalledHandler()
{
    static SaveFileHandler handler;
    return handler;
}

QString ChooseFile(QWidget *parent, const SaveFileRequest &request, bool existing)
{
    if (InstalledHandler())
        return InstalledHandler()(request);

    QFileDialog dialog(parent, request.caption);
    dialog.setAcceptMode(existing ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(existing ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    const QFileInfo proposed(request.proposedPath);
    dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

} // namespace

QString ChooseSaveFile(QWidget *parent, const SaveFileRequest &request)
{
    return ChooseFile(parent, request, false);
}

QString ChooseOpenFile(QWidget *parent, const SaveFileRequest &request)
{
    return ChooseFile(parent, request, true);
}

SaveFileHandler SetSaveFileHandler(SaveFileHandler handler)
{
    SaveFileHandler previous = std::move(InstalledHandler());
    InstalledHandler() = std::move(handler);
    return previous;
}
