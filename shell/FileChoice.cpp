#include "shell/FileChoice.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

SaveFileHandler &InstalledHandler()
{
    static SaveFileHandler handler;
    return handler;
}

} // namespace

QString ChooseSaveFile(QWidget *parent, const SaveFileRequest &request)
{
    if (InstalledHandler())
        return InstalledHandler()(request);

    QFileDialog dialog(parent, request.caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    const QFileInfo proposed(request.proposedPath);
    dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

SaveFileHandler SetSaveFileHandler(SaveFileHandler handler)
{
    SaveFileHandler previous = std::move(InstalledHandler());
    InstalledHandler() = std::move(handler);
    return previous;
}
