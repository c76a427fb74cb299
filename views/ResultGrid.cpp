#include "views/ResultGrid.h"

#include "store/Cp1251.h"
#include "store/OrbADat.h"
#include "views/Search.h"

#include <algorithm>
#include <array>

namespace {

const std::array<QString, GridColumns> HeaderTexts = {
    QStringLiteral(" №  "), QStringLiteral("Список"), QStringLiteral("ФИО"),
    QStringLiteral("Дата"), QStringLiteral("Время"),  QStringLiteral("Рез."),
};

constexpr std::array<int, GridColumns> DailyFieldWidths{6, 16, 16, 12, 6, 4};

QString RowNumber(int row)
{
    return QStringLiteral("%1").arg(row, 4);
}

} // namespace

int ResultGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : GridDataRows;
}

int ResultGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : GridColumns;
}

QVariant ResultGridModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return DataCell(index.row() + 1, index.column());
}

QVariant ResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= GridColumns)
        return {};
    return HeaderTexts[section];
}

QString ResultGridModel::Cell(int row, int column) const
{
    if (column < 0 || column >= GridColumns || row < 0 || row > GridDataRows)
        return {};
    return row == 0 ? HeaderTexts[column] : DataCell(row, column);
}

void ResultGridModel::RowsChanged(int firstRow, int lastRow)
{
    if (firstRow <= lastRow)
        emit dataChanged(index(firstRow - 1, 0), index(lastRow - 1, GridColumns - 1), {Qt::DisplayRole});
}

ResultsGridModel::ResultsGridModel(QObject *parent) : ResultGridModel(parent), m_rows(GridDataRows) {}

void ResultsGridModel::Reset()
{
    beginResetModel();
    std::fill(m_rows.begin(), m_rows.end(), ViewTexts{});
    endResetModel();
}

void ResultsGridModel::ShowSlots(int first, int n)
{
    const int begin = std::max(first, 0);
    const int end = std::min(first + n, GridDataRows);
    // Slots past the count hold no tests, whatever their bytes say.
    for (int slot = begin; slot < end; ++slot)
        m_rows[slot] = slot < ResultCount ? DecodeForView(slot) : ViewTexts{};
    RowsChanged(begin + 1, end);
}

bool ResultsGridModel::ShowsTest(int row) const
{
    return row >= 1 && row <= GridDataRows && !m_rows[row - 1].Date.trimmed().isEmpty();
}

QString ResultsGridModel::DataCell(int row, int column) const
{
    if (column == 0)
        return row <= NumberedGridRows ? RowNumber(row) : QString();
    const ViewTexts &texts = m_rows[row - 1];
    switch (column) {
    case 1: return texts.List;
    case 2: return texts.Person;
    case 3: return texts.Date;
    case 4: return texts.Time;
    default: return texts.Result;
    }
}

void FoundGridModel::ShowFound()
{
    const int before = m_shown;
    m_shown = std::clamp(FoundCount, 0, NumberedGridRows);
    RowsChanged(1, std::max(before, m_shown));
}

std::span<const StatEntry> FoundGridModel::ShownEntries() const
{
    return {Found.data(), size_t(m_shown)};
}

QString FoundGridModel::DataCell(int row, int column) const
{
    if (row > m_shown)
        return {};
    const StatEntry &entry = Found[row - 1];
    switch (column) {
    case 0: return RowNumber(row);
    case 1: return entry.ListText;
    case 2: return entry.PersonText;
    case 3: return entry.DateText;
    case 4: return entry.TimeText;
    default: return entry.ResultText;
    }
}

std::vector<StatEntry> ShownTests(const ResultsGridModel &grid)
{
    std::vector<StatEntry> tests;
    const int counted = std::clamp(ResultCount, 0, ResultSlots);
    for (int slot = 0; slot < counted; ++slot) {
        const bool test = slot < GridDataRows ? grid.ShowsTest(slot + 1)
                                              : !DecodeForView(slot).Date.trimmed().isEmpty();
        if (test)
            DecodeForStat(slot, tests.emplace_back());
    }
    return tests;
}

namespace {

void AppendDailyLine(QString &text, const std::array<QString, GridColumns> &cells)
{
    for (int column = 0; column < GridColumns; ++column) {
        const int width = DailyFieldWidths[column];
        text += cells[column].left(width).leftJustified(width, ' ');
    }
    text += QStringLiteral("\r\n");
}

} // namespace

QByteArray DailyFileText(const ResultGridModel &grid, int lastRow)
{
    QString text;
    const int rows = std::clamp(lastRow, 0, GridDataRows);
    for (int row = 0; row <= rows; ++row) {
        std::array<QString, GridColumns> cells;
        for (int column = 0; column < GridColumns; ++column)
            cells[column] = grid.Cell(row, column);
        AppendDailyLine(text, cells);
    }
    // The slots the grid has no row for are counted tests too.
    const int counted = std::clamp(lastRow, 0, ResultSlots);
    for (int slot = GridDataRows; slot < counted; ++slot) {
        const ViewTexts texts = DecodeForView(slot);
        AppendDailyLine(text, {RowNumber(slot + 1), texts.List, texts.Person, texts.Date, texts.Time, texts.Result});
    }
    return ToCp1251(text);
}
