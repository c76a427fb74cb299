#include "shell/Message.h"

#include <QApplication>
#include <QFileDialog>

namespace {

MessageHandler &InstalledHandler()
{
    static MessageHandler handler;
    return handler;
}

SaveFileHandler &InstalledSaveFileHandler()
{
    static SaveFileHandler handler;
    return handler;
}

QMessageBox::Icon IconOf(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning: return QMessageBox::Warning;
    case MessageKind::Error: return QMessageBox::Critical;
    case MessageKind::Information: break;
    }
    return QMessageBox::Information;
}

} // namespace

QMessageBox::StandardButton ShowMessage(const MessageRequest &request)
{
    if (InstalledHandler())
        return InstalledHandler()(request);

    QMessageBox box(IconOf(request.kind),
                    request.caption.isEmpty() ? QApplication::applicationName() : request.caption,
                    request.text, request.buttons, QApplication::activeWindow());
    if (!request.details.isEmpty())
        box.setDetailedText(request.details);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QMessageBox::StandardButton ShowInfo(const QString &text)
{
    return ShowMessage({MessageKind::Information, {}, text, {}, QMessageBox::Ok});
}

QMessageBox::StandardButton ShowWarning(const QString &text, QMessageBox::StandardButtons buttons)
{
    return ShowMessage({MessageKind::Warning, {}, text, {}, buttons});
}

QMessageBox::StandardButton ShowError(const QString &text, const QString &details)
{
    return ShowMessage({MessageKind::Error, {}, text, details, QMessageBox::Ok});
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    MessageHandler previous = std::move(InstalledHandler());
    InstalledHandler() = std::move(handler);
    return previous;
}

QString AskSaveFileName(const SaveFileRequest &request)
{
    if (InstalledSaveFileHandler())
        return InstalledSaveFileHandler()(request);
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), request.caption, request.suggested,
                                        request.filter);
}

SaveFileHandler SetSaveFileHandler(SaveFileHandler handler)
{
    SaveFileHandler previous = std::move(InstalledSaveFileHandler());
    InstalledSaveFileHandler() = std::move(handler);
    return previous;
}
