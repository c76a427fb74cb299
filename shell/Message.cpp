#include "shell/Message.h"

#include "store/FileOutcome.h"

#include <QApplication>

namespace {

MessageHandler &InstalledHandler()
{
    static MessageHandler handler;
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

void ShowFileNotice(const FileNotice &notice)
{
    const bool warning = notice.kind == FileNotice::Kind::Warning;
    ShowMessage({warning ? MessageKind::Warning : MessageKind::Error, {}, notice.text, notice.details,
                 notice.okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok});
}

bool Report(const FileOutcome &outcome)
{
    for (const FileNotice &notice : outcome.notices)
        ShowFileNotice(notice);
    return outcome.done;
}

MessageHandler SetMessageHandler(MessageHandler handler)
{
    MessageHandler previous = std::move(InstalledHandler());
    InstalledHandler() = std::move(handler);
    return previous;
}
