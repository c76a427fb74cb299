#include "views/ViewCommon.h"

#include "exchange/Obmen.h"
#include "shell/FileChoice.h"
#include "shell/Message.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "store/Spreadsheet.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <array>

namespace {

constexpr std::array<int, 6> ResultColumnWidths{50, 139, 139, 83, 51, 35};
constexpr int GridRowHeight = 16;

} // namespace

QFont GridFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Courier"), QStringLiteral("DejaVu Sans Mono")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(9);
    return font;
}

QToolButton *MakeExitButton(QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName("Key_Exit");
    button->setToolTip(QStringLiteral("Выход  из   режима"));
    button->setIcon(parent->style()->standardIcon(QStyle::SP_DialogCloseButton));
    button->setFixedSize(50, 50);
    return button;
}

void SetUpResultGrid(QTableView *view, QAbstractItemModel *model)
{
    view->setObjectName("GridRes");
    view->setModel(model);
    view->setFont(GridFont());
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(GridRowHeight);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->horizontalHeader()->setHighlightSections(false);
    int width = 0;
    for (int column = 0; column < int(ResultColumnWidths.size()); ++column) {
        view->setColumnWidth(column, ResultColumnWidths[column]);
        width += ResultColumnWidths[column];
    }
    view->setMinimumWidth(width + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4);
}

void PrepareExchangeProgress(int maximum, int position)
{
    TObmenF *window = ObmenWindow();
    if (!window)
        return;
    window->Progres->setRange(0, maximum);
    window->Progres->setValue(position);
}

QPushButton *MakeExportButton(QWidget *parent)
{
    auto *button = new QPushButton(QStringLiteral("Экспорт"), parent);
    button->setObjectName("Key_Export");
    button->setToolTip(QStringLiteral("Записать показанные тесты в файл CSV для электронных таблиц"));
    button->setAutoDefault(false);   // Return must not open the file dialog
    return button;
}

QString SpreadsheetFileName()
{
    MakeDailyFileName();
    return QFileInfo(DailyFileName).completeBaseName() + QStringLiteral(".csv");
}

bool ExportToSpreadsheet(QWidget *parent, std::span<const StatEntry> entries)
{
    // The table is taken as the window shows it at the click.
    const QByteArray table = SpreadsheetText(entries);
    const QString fileName = ChooseSaveFile(parent, {QStringLiteral("Экспорт"),
                                                     QDir::current().absoluteFilePath(SpreadsheetFileName()),
                                                     QStringLiteral("Таблица CSV (*.csv)"), QStringLiteral("csv")});
    return !fileName.isEmpty() && Report(ReplaceFile(fileName, table));
}

QString ShownOfText(int shown, int total)
{
    if (shown >= total)
        return {};
    return QStringLiteral("Таблица показывает первые %1 из %2 записей; \"Экспорт\" записывает все.")
        .arg(shown)
        .arg(total);
}
