#pragma once
// Every file dialog of the program goes through ChooseSaveFile, so that the
// tests can answer it without a person at the screen, as they answer the
// message boxes.

#include <QString>
#include <functional>

class QWidget;

struct SaveFileRequest {
    QString caption;
    QString suggestedName;   // the file name offered, in the working directory
    QString filter;          // e.g. "Образ памяти (*.bin)"
};

// The chosen path, or an empty text when the operator cancelled.
using SaveFileHandler = std::function<QString(const SaveFileRequest &)>;

QString ChooseSaveFile(QWidget *parent, const SaveFileRequest &request);

// Replaces the dialog; an empty handler restores it. Returns the handler
// that was installed before.
SaveFileHandler SetSaveFileHandler(SaveFileHandler handler);
