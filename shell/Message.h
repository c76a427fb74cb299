#pragma once
// Every message box of the program goes through ShowMessage, so that the
// tests can answer them without a person at the screen.

#include <QMessageBox>
#include <QString>
#include <functional>

enum class MessageKind { Information, Warning, Error };

struct MessageRequest {
    MessageKind kind = MessageKind::Information;
    QString caption;
    QString text;
    QString details;   // shown behind the box's "details" button when not empty
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;   // the box's own choice when none
};

using MessageHandler = std::function<QMessageBox::StandardButton(const MessageRequest &)>;

// Shows a modal message box (or hands the request to the installed handler)
// and returns the button that closed it.
QMessageBox::StandardButton ShowMessage(const MessageRequest &request);

// Shorthands for the common cases.
QMessageBox::StandardButton ShowInfo(const QString &text);
QMessageBox::StandardButton ShowWarning(const QString &text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);
QMessageBox::StandardButton ShowError(const QString &text, const QString &details = {});

// Shows what a file operation of the store had to tell, in its order, and
// returns whether the operation completed.
struct FileNotice;
struct FileOutcome;
void ShowFileNotice(const FileNotice &notice);
bool Report(const FileOutcome &outcome);

// Replaces the message boxes; an empty handler restores them. Returns the
// handler that was installed before.
MessageHandler SetMessageHandler(MessageHandler handler);
