#pragma once
// What the results, statistics and lists windows share: the exit button, the
// font of the result grids, their shape, and the exchange window's progress
// bar that they prepare before their transfers.

#include "store/ResultRecord.h"

#include <QFont>
#include <QString>
#include <span>

class QAbstractItemModel;
class QPushButton;
class QTableView;
class QToolButton;
class QWidget;

// The fixed-pitch font of the grids: "Courier", or a monospace font with
// Cyrillic letters where it is missing.
QFont GridFont();

// The square exit button of these windows, hint "Выход  из   режима".
QToolButton *MakeExitButton(QWidget *parent);

// Gives `view` the shape of a result grid (GridRes of the results and the
// statistics windows): six read-only columns 50, 139, 139, 83, 51 and 35
// pixels wide under the header row, the grid font, a vertical scroll bar.
void SetUpResultGrid(QTableView *view, QAbstractItemModel *model);

// Sets the exchange window's progress bar for the next exchanges.
void PrepareExchangeProgress(int maximum, int position = 0);

// The button "Экспорт" of the results and the statistics windows.
QPushButton *MakeExportButton(QWidget *parent);

// "Экспорт" of the results and the statistics windows: asks for a file name,
// offering the daily file's name with .csv in the program's folder, and
// writes `entries` there as a table for spreadsheet programs
// (store/Spreadsheet.h). False when the operator cancelled, or when the save
// failed, which has been reported and has left an old file as it was.
bool ExportToSpreadsheet(QWidget *parent, std::span<const StatEntry> entries);

// The note under a grid that cannot show every record the window counts or
// finds; empty when it shows them all.
QString ShownOfText(int shown, int total);

// The file name "Экспорт" offers: the daily file's name with .csv.
QString SpreadsheetFileName();
