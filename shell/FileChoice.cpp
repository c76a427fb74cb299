#include "shell/FileChoice.h"

#include <QDir>
#include <QFileDialog>

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
    return QFileDialog::getSaveFileName(parent, request.caption,
                                        QDir::current().filePath(request.suggestedName), request.filter);
}

SaveFileHandler SetSaveFileHandler(SaveFileHandler handler)
{
    SaveFileHandler previous = std::move(InstalledHandler());
    InstalledHandler() = std::move(handler);
    return previous;
}
