#pragma once
// Every choice of a file name to save under goes through ChooseSaveFile, so
// that the tests can answer the file dialog without a person at the screen.

#include <QString>
#include <functional>

class QWidget;

struct SaveFileRequest {
    QString caption;
    QString proposedPath;   // the folder and the name the dialog starts with
    QString filter;         // "Таблица CSV (*.csv)"
    QString defaultSuffix;  // added when the name chosen has none
};

using SaveFileHandler = std::function<QString(const SaveFileRequest &)>;

// Shows a modal file dialog over `parent` (or hands the request to the
// installed handler) and returns the chosen path, empty when cancelled. The
// dialog asks before it lets an existing file be chosen.
QString ChooseSaveFile(QWidget *parent, const SaveFileRequest &request);

// The same for a file to read: only an existing file may be chosen. The
// installed handler answers both.
QString ChooseOpenFile(QWidget *parent, const SaveFileRequest &request);

// Replaces the file dialog; an empty handler restores it. Returns the
// handler that was installed before.
SaveFileHandler SetSaveFileHandler(SaveFileHandler handler);
