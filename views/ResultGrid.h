#pragma once
// The models behind the GridRes grids of the results and the statistics
// windows. Both grids have the header row " №  ", "Список", "ФИО", "Дата",
// "Время", "Рез." and 9001 rows below it; column 0 holds the row number,
// right-aligned in four places. The models keep texts, not widgets, so that
// a grid of 9001 rows fills at once.
//
// Grid rows are counted as in the window: row 0 is the header, rows 1..9001
// the data (model row r - 1).

#include "store/ResultRecord.h"
#include "views/ResultSteps.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>
#include <span>
#include <vector>

constexpr int GridDataRows = 9001;    // grid rows 1..9001
constexpr int GridColumns = 6;

class ResultGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text of a grid cell; row 0 is the header.
    QString Cell(int row, int column) const;

protected:
    virtual QString DataCell(int row, int column) const = 0;   // rows 1..9001
    void RowsChanged(int firstRow, int lastRow);               // grid rows
};

// The results window's grid: each row shows the texts its slot had when it
// was last shown (DecodeForView blanks stale records against the reference
// date code of that moment).
class ResultsGridModel : public ResultGridModel {
    Q_OBJECT
public:
    explicit ResultsGridModel(QObject *parent = nullptr);

    // Rows 1..9000 numbered, every data cell empty.
    void Reset();
    // Decodes slots first .. first + n - 1 into grid rows first + 1 ..; rows
    // of slots from ResultCount on are emptied, slots without a grid row
    // (9001 and above) are left alone.
    void ShowSlots(int first, int n);
    // False for the blank rows: empty slots, stale and invalid records.
    bool ShowsTest(int row) const;

protected:
    QString DataCell(int row, int column) const override;

private:
    std::vector<ViewTexts> m_rows;
};

// The statistics window's grid: rows 1..FoundCount show the found entries,
// the rows below them are empty, row number included.
class FoundGridModel : public ResultGridModel {
    Q_OBJECT
public:
    using ResultGridModel::ResultGridModel;

    // Takes FoundCount and the found tables as they are now.
    void ShowFound();
    // The entries of the found tables that the grid shows.
    std::span<const StatEntry> ShownEntries() const;

protected:
    QString DataCell(int row, int column) const override;

private:
    int m_shown = 0;
};

// The tests the results window counts, in slot order: rows of counted slots
// that are not blank, and the counted slots past the grid's last row that
// would not be, decoded as the statistics window decodes them.
std::vector<StatEntry> ShownTests(const ResultsGridModel &grid);

// The daily text copy of grid rows 0 .. lastRow (bounded to the grid), then
// of the slots from 9001 to lastRow - 1 that have no grid row, numbered and
// decoded as the grid decodes them: the six cells of each row in fields of
// 6, 16, 16, 12, 6 and 4 characters, cut or filled with spaces, each line
// ended by CR LF, in CP1251.
QByteArray DailyFileText(const ResultGridModel &grid, int lastRow);
