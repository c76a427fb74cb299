#include "panel/Pribor.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "panel/SensorGrid.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"

#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

TPriborF *PriborF = nullptr;

namespace {

const QString NoDataText = QStringLiteral("нет данных");

} // namespace

QLabel *MakeValueLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(QStringLiteral("нет  данных"), parent);
    label->setObjectName(name);
    label->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    label->setMinimumWidth(90);
    return label;
}

QProgressBar *MakeTestBar(QWidget *parent, const char *name)
{
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(name);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setFixedHeight(8);
    return bar;
}

int NextTestBarPosition(int position)
{
    return position > 98 ? 0 : position + 2;
}

void AdvanceTestBar(QProgressBar *bar)
{
    if (bar)
        bar->setValue(NextTestBarPosition(bar->value()));
}

TPriborF::TPriborF(QWidget *parent) : QDialog(parent)
{
    setObjectName("PriborF");
    setWindowTitle(QStringLiteral("Прибор: \"Орбиск  7м\""));

    PageControl = new QTabWidget(this);
    PageControl->setObjectName("PageControl");
    PageControl->addTab(BuildSensorPage(), QStringLiteral("Сенсор"));
    // The clock, memory and correction pages come with their own controls.
    PageControl->addTab(new QWidget, QStringLiteral("Часы"));
    PageControl->addTab(new QWidget, QStringLiteral("Память"));
    PageControl->addTab(new QWidget, QStringLiteral("Коррекция  хода  часов"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(BuildConnectionStrip());
    layout->addWidget(PageControl, 1);
    resize(560, 560);

    connect(Key_On, &QPushButton::clicked, this, &TPriborF::Key_OnClick);
    connect(Key_Test, &QPushButton::clicked, this, &TPriborF::Key_TestClick);
    connect(Key_Exit, &QToolButton::clicked, this, &TPriborF::Key_ExitClick);
}

QWidget *TPriborF::BuildConnectionStrip()
{
    auto *strip = new QWidget;
    auto *group = new QGroupBox(QStringLiteral("Подключение  прибора"), strip);
    group->setObjectName("GroupConnect");

    Key_On = new QPushButton(QStringLiteral("Подключиться  "), group);
    Key_On->setObjectName("Key_On");
    Key_Test = new QPushButton(QStringLiteral("Тест  связи "), group);
    Key_Test->setObjectName("Key_Test");
    LVer = MakeValueLabel(group, "LVer");
    LNum = MakeValueLabel(group, "LNum");
    LSensor = MakeValueLabel(group, "LSensor");
    TestProgres = MakeTestBar(group, "TestProgres");
    TestProgresN = MakeTestBar(group, "TestProgresN");
    TestProgresN->setStyleSheet(QStringLiteral("QProgressBar { background-color: red; }"));

    auto *grid = new QGridLayout(group);
    grid->addWidget(Key_On, 0, 0);
    grid->addWidget(Key_Test, 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Версия  ПО  прибора:"), group), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Номер  прибора:"), group), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Номер  сенсора:"), group), 2, 1);
    grid->addWidget(LVer, 0, 2);
    grid->addWidget(LNum, 1, 2);
    grid->addWidget(LSensor, 2, 2);
    grid->addWidget(TestProgres, 2, 0);
    grid->addWidget(TestProgresN, 3, 0);

    Key_Exit = new QToolButton(strip);
    Key_Exit->setObjectName("Key_Exit");
    Key_Exit->setToolTip(QStringLiteral("Выход"));
    Key_Exit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    Key_Exit->setFixedSize(50, 50);

    auto *row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(group, 1);
    row->addWidget(Key_Exit, 0, Qt::AlignTop);
    return strip;
}

QWidget *TPriborF::BuildSensorPage()
{
    auto *page = new QWidget;
    PanelSen1 = new QFrame(page);
    PanelSen1->setObjectName("PanelSen1");

    GridS1 = new QTableWidget(SensorGridRows, 2, PanelSen1);
    GridS1->setObjectName("GridS1");
    GridS1->horizontalHeader()->hide();
    GridS1->verticalHeader()->hide();
    GridS1->setColumnWidth(0, 198);
    GridS1->setColumnWidth(1, 130);
    GridS1->verticalHeader()->setDefaultSectionSize(16);
    GridS1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridS1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    GridS1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    GridS1->setFixedWidth(198 + 130 + GridS1->verticalScrollBar()->sizeHint().width() + 4);

    auto *panelLayout = new QVBoxLayout(PanelSen1);
    panelLayout->addWidget(new QLabel(QStringLiteral("Прочитано  из  прибора"), PanelSen1));
    panelLayout->addWidget(GridS1, 1);

    auto *pageLayout = new QHBoxLayout(page);
    pageLayout->addWidget(PanelSen1);
    pageLayout->addStretch();
    return page;
}

void TPriborF::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Activation may run exchanges, each a modal window of its own: let the
    // panel appear first.
    if (!event->spontaneous())
        QMetaObject::invokeMethod(this, &TPriborF::FormActivate, Qt::QueuedConnection);
}

void TPriborF::FormActivate()
{
    LoadConfig();
    Key_Exit->setDown(false);
    LVer->clear();
    LNum->clear();
    LSensor->clear();
    TestProgres->setValue(0);
    PrepareSensorGrid(GridS1);

    if (AutoConnect || AutoSensor)
        ConnectInstrument();
    if (AutoLinkTest) {
        PageControl->setCurrentIndex(PageSensor);
        ResetTestBars();
        RunLinkTest();
    }
    OpenClockPage();
    if (AutoClock)
        ReadClockOnOpening();
    ShowMemPage();
}

void TPriborF::Key_OnClick()
{
    ConnectInstrument();
}

void TPriborF::Key_TestClick()
{
    ResetTestBars();
    RunLinkTest();
}

void TPriborF::Key_ExitClick()
{
    accept();
}

void TPriborF::ConnectInstrument()
{
    PageControl->setCurrentIndex(PageSensor);
    PlaceExchangeWindow(ExchangeWindowTop);
    if (ReadSensorTable())
        TakeIdentification();
    else
        ShowNoData();
}

void TPriborF::TakeIdentification()
{
    TakeSensorWords();
    LNum->setText(RightAligned(InstrumentNumber));
    LSensor->setText(RightAligned(SensorNumber));
    ShowSensorValues(GridS1);
}

void TPriborF::ShowNoData()
{
    LNum->setText(NoDataText);
    LSensor->setText(NoDataText);
}

void TPriborF::ResetTestBars()
{
    TestProgres->setValue(0);
    TestProgresN->setValue(0);
}

void TPriborF::RunLinkTest()
{
    PlaceExchangeWindow(ExchangeWindowTop);
    if (ProbeLink(LinkProbeOwner::Panel))
        AdvanceTestBar(TestProgres);
}

// The clock page fills its fields from the PC clock when the panel opens,
// reads the instrument clock when asked to, and the memory page shows its
// last page; those pages bring these steps with them.
void TPriborF::OpenClockPage()
{
}

void TPriborF::ReadClockOnOpening()
{
}

void TPriborF::ShowMemPage()
{
}
