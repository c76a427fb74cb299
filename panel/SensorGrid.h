#pragma once
// The 23-row grid of the instrument's sensor table: a fixed label in column
// 0 and the word in column 1. The instrument panel and the service window
// show it alike.

#include <QString>

class QTableWidget;

constexpr int NumberFieldWidth = 6;

// A decimal number right-aligned in `width` characters (wider numbers whole).
QString RightAligned(int value, int width = NumberFieldWidth);

// Puts `text` into a cell, making the cell when it has none yet.
void SetGridCell(QTableWidget *grid, int row, int column, const QString &text);

// Labels in column 0, column 1 empty.
void PrepareSensorGrid(QTableWidget *grid);

// Column 1 of rows 0..22 from SensorTable.
void ShowSensorValues(QTableWidget *grid);
