#include "panel/SensorGrid.h"

#include "store/OrbACfg.h"
#include "store/OrbADat.h"

#include <QTableWidget>

namespace {

void EnsureShape(QTableWidget *grid)
{
    if (grid->columnCount() < 2)
        grid->setColumnCount(2);
    if (grid->rowCount() < SensorTableRows)
        grid->setRowCount(SensorTableRows);
}

} // namespace

void SetGridCell(QTableWidget *grid, int row, int column, const QString &text)
{
    QTableWidgetItem *item = grid->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        grid->setItem(row, column, item);
    }
    item->setText(text);
}

QString RightAligned(int value, int width)
{
    return QString::number(value).rightJustified(width, QLatin1Char(' '));
}

void PrepareSensorGrid(QTableWidget *grid)
{
    if (!grid)
        return;
    EnsureShape(grid);
    for (int row = 0; row < SensorTableRows; ++row) {
        SetGridCell(grid, row, 0, InstrumentWordLabels[row]);
        SetGridCell(grid, row, 1, QString());
    }
}

void ShowSensorValues(QTableWidget *grid)
{
    if (!grid)
        return;
    EnsureShape(grid);
    for (int row = 0; row < SensorTableRows; ++row)
        SetGridCell(grid, row, 1, RightAligned(SensorTable[row]));
}
