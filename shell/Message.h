#pragma once
// Every message box of the program goes through ShowMessage, and every
// choice of a file to save through AskSaveFileName, so that the tests can
// answer them without a person at the screen.

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

// Replaces the message boxes; an empty handler restores them. Returns the
// handler that was installed before.
MessageHandler SetMessageHandler(MessageHandler handler);

struct SaveFileRequest {
    QString caption;
    QString suggested;   // the file name offered, with its folder
    QString filter;      // as the file dialog takes it: "Журнал (*.txt);;Все файлы (*)"
};

using SaveFileHandler = std::function<QString(const SaveFileRequest &)>;

// Shows the file dialog (or hands the request to the installed handler) and
// returns the chosen file name; empty when the operator cancelled.
QString AskSaveFileName(const SaveFileRequest &request);

// Replaces the file dialog; an empty handler restores it. Returns the handler
// that was installed before.
SaveFileHandler SetSaveFileHandler(SaveFileHandler handler);
