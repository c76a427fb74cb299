#pragma once
// What the results, statistics and lists windows share: the exit button, the
// font of the result grids, their shape, and the exchange window's progress
// bar that they prepare before their transfers.

#include <QFont>
#include <QString>

class QAbstractItemModel;
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
