#include "views/Stat.h"

#include "shell/FirstUse.h"
#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/Print.h"
#include "views/ResultGrid.h"
#include "views/Search.h"
#include "views/ViewCommon.h"
#include "shell/Message.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <span>

TStatF *StatF = nullptr;

TStatF *StatWindow()
{
    return MadeOnFirstUse(StatF);
}

namespace {

const QStringList MonthNames = {
    QStringLiteral("январь"), QStringLiteral("февраль"), QStringLiteral("март"),
    QStringLiteral("апрель"), QStringLiteral("май"),     QStringLiteral("июнь"),
    QStringLiteral("июль"),   QStringLiteral("август"),  QStringLiteral("сентябрь"),
    QStringLiteral("октябрь"), QStringLiteral("ноябрь"), QStringLiteral("декабрь"),
};

QStringList NumberItems(int first, int last)
{
    QStringList items;
    for (int value = first; value <= last; ++value)
        items << TwoDigits(value);
    return items;
}

QStringList YearItems()
{
    QStringList items;
    for (int year = FirstPeriodYear; year <= LastPeriodYear(); ++year)
        items << QString::number(year);
    return items;
}

// The day lists end with an empty item, day 32, after every real day.
QStringList DayItems()
{
    return NumberItems(1, 31) << QString();
}

QComboBox *MakeBox(QWidget *parent, const char *name, const QStringList &items)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(items);
    box->setMaxVisibleItems(16);
    return box;
}

QStringList HourItems() { return NumberItems(0, 23); }
QStringList MinuteItems() { return NumberItems(0, 59); }
QStringList MonthItems() { return MonthNames; }

// The ten selectors of the period, each with the period value it shows: the
// value of item i is first + i. Begin row first, then the end row, in the
// order of their columns.
struct PeriodBox {
    QComboBox *TStatF::*box;
    const char *name;
    int *value;
    int first;
    QStringList (*items)();
};

const std::array<PeriodBox, 10> PeriodBoxes = {{
    {&TStatF::box_YearB, "box_YearB", &BeginYear, FirstPeriodYear, YearItems},
    {&TStatF::box_MonB, "box_MonB", &BeginMonth, 1, MonthItems},
    {&TStatF::box_DayB, "box_DayB", &BeginDay, 1, DayItems},
    {&TStatF::box_HHB, "box_HHB", &BeginHour, 0, HourItems},
    {&TStatF::box_MMB, "box_MMB", &BeginMinute, 0, MinuteItems},
    {&TStatF::box_YearE, "box_YearE", &EndYear, FirstPeriodYear, YearItems},
    {&TStatF::box_MonE, "box_MonE", &EndMonth, 1, MonthItems},
    {&TStatF::box_DayE, "box_DayE", &EndDay, 1, DayItems},
    {&TStatF::box_HHE, "box_HHE", &EndHour, 0, HourItems},
    {&TStatF::box_MME, "box_MME", &EndMinute, 0, MinuteItems},
}};
constexpr int PeriodColumns = 5;

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

TStatF::TStatF(QWidget *parent) : QDialog(parent)
{
    setObjectName("StatF");
    setWindowTitle(QStringLiteral("Статистика"));

    control_Stat = new QWidget(this);
    control_Stat->setObjectName("control_Stat");
    page_Stat = new QTabWidget(control_Stat);
    page_Stat->setObjectName("page_Stat");
    page_Stat->addTab(BuildPersonPage(), QStringLiteral("Списки  тестируемых"));
    page_Stat->addTab(BuildPeriodPage(), QStringLiteral("Время  тестирования"));
    auto *controlLayout = new QVBoxLayout(control_Stat);
    controlLayout->setContentsMargins(0, 0, 0, 0);
    controlLayout->addWidget(page_Stat);

    m_grid = new FoundGridModel(this);
    GridRes = new QTableView(this);
    SetUpResultGrid(GridRes, m_grid);
    Key_Exit = MakeExitButton(this);
    Key_Export = MakeExportButton(this);
    Key_Print = MakePrintButton(this);
    Key_Pdf = MakePdfButton(this);

    auto *side = new QVBoxLayout;
    side->addWidget(Key_Exit, 0, Qt::AlignRight);
    side->addStretch();
    side->addWidget(Key_Export);
    side->addWidget(Key_Print);
    side->addWidget(Key_Pdf);
    auto *top = new QHBoxLayout;
    top->addWidget(control_Stat, 1);
    top->addLayout(side);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(GridRes, 1);
    LabelShown = MakeLabel(this, "LabelShown", {});
    LabelShown->setVisible(false);
    layout->addWidget(LabelShown);
    resize(560, 640);

    connect(box_List, &QComboBox::activated, this, &TStatF::box_ListChange);
    connect(box_FIO, &QComboBox::activated, this, &TStatF::box_FIOChange);
    connect(key_Poisk, &QPushButton::clicked, this, &TStatF::key_PoiskClick);
    connect(page_Stat, &QTabWidget::currentChanged, this, &TStatF::page_StatChange);
    connect(Key_Exit, &QToolButton::clicked, this, &TStatF::Key_ExitClick);
    connect(Key_Export, &QPushButton::clicked, this, &TStatF::Key_ExportClick);
    connect(Key_Print, &QPushButton::clicked, this, &TStatF::Key_PrintClick);
    connect(Key_Pdf, &QPushButton::clicked, this, &TStatF::Key_PdfClick);
}

QWidget *TStatF::BuildPersonPage()
{
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    box_List = MakeBox(TabSheet1, "box_List", {});
    box_FIO = MakeBox(TabSheet1, "box_FIO", {});
    for (QComboBox *box : {box_List, box_FIO}) {
        box->setFont(GridFont());
        box->setMinimumContentsLength(16);
    }
    memo_Poisk = new QPlainTextEdit(QStringLiteral("Записей  нет"), TabSheet1);
    memo_Poisk->setObjectName("memo_Poisk");
    memo_Poisk->setReadOnly(true);
    memo_Poisk->setFixedHeight(52);

    auto *grid = new QGridLayout(TabSheet1);
    grid->addWidget(MakeLabel(TabSheet1, "Label1", QStringLiteral("Список")), 0, 0);
    grid->addWidget(MakeLabel(TabSheet1, "Label2", QStringLiteral("Фамилия")), 0, 1);
    grid->addWidget(box_List, 1, 0);
    grid->addWidget(box_FIO, 1, 1);
    grid->addWidget(memo_Poisk, 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    return TabSheet1;
}

QWidget *TStatF::BuildPeriodPage()
{
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    auto *grid = new QGridLayout(TabSheet2);
    grid->addWidget(MakeLabel(TabSheet2, "Label5", QStringLiteral("Год")), 0, 1);
    grid->addWidget(MakeLabel(TabSheet2, "Label6", QStringLiteral("месяц")), 0, 2);
    grid->addWidget(MakeLabel(TabSheet2, "llday", QStringLiteral("день")), 0, 3);
    grid->addWidget(MakeLabel(TabSheet2, "Label7", QStringLiteral("часы")), 0, 4);
    grid->addWidget(MakeLabel(TabSheet2, "Label8", QStringLiteral("минуты")), 0, 5);
    grid->addWidget(MakeLabel(TabSheet2, "Label3", QStringLiteral("C:")), 1, 0);
    grid->addWidget(MakeLabel(TabSheet2, "Label4", QStringLiteral("По:")), 2, 0);
    for (int i = 0; i < int(PeriodBoxes.size()); ++i) {
        const PeriodBox &field = PeriodBoxes[i];
        this->*field.box = MakeBox(TabSheet2, field.name, field.items());
        grid->addWidget(this->*field.box, 1 + i / PeriodColumns, 1 + i % PeriodColumns);
    }
    key_Poisk = new QPushButton(QStringLiteral("ПОИСК"), TabSheet2);
    key_Poisk->setObjectName("key_Poisk");
    grid->addWidget(key_Poisk, 3, 1, 1, 2);
    LabelPeriod = MakeLabel(TabSheet2, "LabelPeriod", {});
    LabelPeriod->setWordWrap(true);
    grid->addWidget(LabelPeriod, 4, 0, 1, PeriodColumns + 1);
    grid->setRowStretch(5, 1);
    return TabSheet2;
}

void TStatF::Open(QWidget *caller, ListsOnOpening lists)
{
    m_keepListsOnce = lists == ListsOnOpening::KeepInMemory;
    QWidget *owner = caller ? caller->window() : parentWidget();
    // A window shown while another window is modal would be blocked by it,
    // unless it belongs to that window.
    if (isVisible())
        hide();
    if (owner && owner != this && parentWidget() != owner)
        setParent(owner, windowFlags());
    show();
    raise();
    activateWindow();
}

void TStatF::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        QMetaObject::invokeMethod(this, &TStatF::FormActivate, Qt::QueuedConnection);
}

void TStatF::FormActivate()
{
    FillYearBoxes();
    FillPersonBoxes();
    Report(LoadResults());
    ScanResults();
    if (ResultCount > 0)
        SetDefaultPeriod(PcNow());
    {
        const QSignalBlocker blocker(page_Stat);
        page_Stat->setCurrentIndex(std::clamp(StatPage, 0, page_Stat->count() - 1));
    }
    ShowPersonSearch();
    SetPeriodBoxes();
    ShowFound();
}

// The year lists reach the PC's year, which moves on while the program runs.
void TStatF::FillYearBoxes()
{
    const QStringList years = YearItems();
    for (QComboBox *box : {box_YearB, box_YearE}) {
        if (box->count() == years.size())
            continue;
        const QSignalBlocker blocker(box);
        box->clear();
        box->addItems(years);
    }
}

void TStatF::FillPersonBoxes()
{
    if (m_keepListsOnce)
        m_keepListsOnce = false;
    else
        Report(LoadLists());
    box_List->clear();
    for (int list = 1; list <= ListCount; ++list)
        box_List->addItem(FromCp1251(ListNames[list]));
    if (CurrentList < 1 || CurrentList > ListCount)
        CurrentList = 1;
    box_List->setCurrentIndex(CurrentList - 1);
    FillPersonNames();
}

void TStatF::FillPersonNames()
{
    box_FIO->clear();
    for (const QByteArray &name : PersonNames[CurrentList])
        box_FIO->addItem(FromCp1251(name));
    box_FIO->setCurrentIndex(std::clamp(CurrentPerson, 0, PersonsPerList - 1));
}

void TStatF::box_ListChange(int index)
{
    CurrentList = std::clamp(index + 1, 1, ListCount);
    FillPersonNames();
    ShowPersonSearch();
    ShowFound();
}

void TStatF::box_FIOChange(int index)
{
    CurrentPerson = std::clamp(index, 0, PersonsPerList - 1);
    ShowPersonSearch();
    ShowFound();
}

// The list the box shows: the lists window may since have chosen another
// list for itself.
void TStatF::ShowPersonSearch()
{
    SearchByPerson(box_List->currentIndex() + 1, CurrentPerson);
    memo_Poisk->setPlainText(PersonSearchReport().join('\n'));
}

void TStatF::key_PoiskClick()
{
    RunPeriodSearch();
}

void TStatF::page_StatChange(int)
{
    RunPeriodSearch();
}

void TStatF::RunPeriodSearch()
{
    if (ResultCount > 0)
        ReadPeriodBoxes();
    SearchByPeriod();
    LabelPeriod->setText(PeriodReversed() ? QStringLiteral("Конец периода раньше его начала: поиск не выполнен.")
                                          : QString());
    ShowFound();
}

void TStatF::ReadPeriodBoxes()
{
    for (const PeriodBox &field : PeriodBoxes)
        *field.value = (this->*field.box)->currentIndex() + field.first;
    MakePeriodKeys();
}

void TStatF::SetPeriodBoxes()
{
    ClampPeriod();
    for (const PeriodBox &field : PeriodBoxes)
        (this->*field.box)->setCurrentIndex(*field.value - field.first);
}

void TStatF::ShowFound()
{
    m_grid->ShowFound();
    const QString note = ShownOfText(int(m_grid->ShownEntries().size()), FoundCount);
    LabelShown->setText(note);
    LabelShown->setVisible(!note.isEmpty());
}

void TStatF::Key_ExitClick()
{
    Key_Exit->setDown(false);
    close();
}

void TStatF::Key_ExportClick()
{
    // Every record found, also those past the grid's last row.
    const auto found = size_t(std::clamp(FoundCount, 0, FoundCapacity));
    ExportToSpreadsheet(this, std::span<const StatEntry>(Found.data(), found));
}

void TStatF::Key_PrintClick()
{
    PreviewSheet(this, FoundSheet(m_grid->ShownEntries()));
}

void TStatF::Key_PdfClick()
{
    SaveSheetPdf(this, FoundSheet(m_grid->ShownEntries()));
}
