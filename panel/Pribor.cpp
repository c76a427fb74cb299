#include "panel/Pribor.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "panel/Clock.h"
#include "panel/Correction.h"
#include "panel/MemDumpWindow.h"
#include "panel/MemPage.h"
#include "panel/SensorGrid.h"
#include "shell/FirstUse.h"
#include "shell/Message.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

TPriborF *PriborF = nullptr;

TPriborF *PriborWindow()
{
    return MadeOnFirstUse(PriborF);
}

namespace {

const QString NoDataText = QStringLiteral("нет данных");
const QString EraseQuestion = QStringLiteral(
    "Обнулить фискальную память?\n"
    "Все результаты тестов, записанные в приборе, будут удалены без возможности восстановления.");
const QString EraseIncompleteText = QStringLiteral(
    "Фискальная память обнулена не полностью: обнуление прервано.\n"
    "Уже обнуленная часть результатов тестов не восстанавливается.");
const QString NoCorrectionText = QStringLiteral(
    "Выберите погрешность за месяц из списка.\nКоррекция в прибор не записана.");

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

namespace {

QToolButton *MakeSpeedButton(QWidget *parent, const char *name, const QString &caption, const QString &hint = {})
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolTip(hint);
    button->setMinimumWidth(80);
    return button;
}

QToolButton *MakeToggleButton(QWidget *parent, const char *name, QStyle::StandardPixmap icon)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setCheckable(true);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setIconSize(QSize(24, 24));
    return button;
}

QLineEdit *MakeClockEdit(QWidget *parent, const char *name, const QString &text, bool readOnly)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setReadOnly(readOnly);
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit->setMaximumWidth(readOnly ? 110 : 50);
    return edit;
}

// The group "Прочитано из прибора" of the clock and the correction pages:
// the instrument's time and date and the PC time at the read.
QGroupBox *MakeReadGroup(QWidget *parent, QLineEdit *&time, QLineEdit *&date, QLineEdit *&pc,
                         const char *timeName, const char *dateName, const char *pcName)
{
    auto *group = new QGroupBox(QStringLiteral("Прочитано из прибора"), parent);
    time = MakeClockEdit(group, timeName, QStringLiteral("?\?:?\?:?\?"), true);
    date = MakeClockEdit(group, dateName, QStringLiteral("?\?-?\?-?\?"), true);
    auto *pcGroup = new QGroupBox(QStringLiteral("В ПЭВМ  (при считывании)"), group);
    pc = MakeClockEdit(pcGroup, pcName, QStringLiteral("?\?:?\?:?\?"), true);
    auto *pcLayout = new QVBoxLayout(pcGroup);
    pcLayout->addWidget(pc);

    auto *grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Время:"), group), 0, 0);
    grid->addWidget(time, 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Дата:"), group), 2, 0);
    grid->addWidget(date, 3, 0);
    grid->addWidget(pcGroup, 4, 0);
    return group;
}

QTableWidget *MakeMemGrid(QWidget *parent, const char *name, const QStringList &header)
{
    auto *grid = new QTableWidget(MemPageRows, int(header.size()), parent);
    grid->setObjectName(name);
    grid->setHorizontalHeaderLabels(header);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(15);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int column = 0; column < header.size(); ++column)
        grid->setColumnWidth(column, 55);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setBold(true);
    grid->setFont(font);
    grid->setFixedWidth(55 * int(header.size()) + grid->verticalScrollBar()->sizeHint().width() + 4);
    return grid;
}

} // namespace

QGroupBox *MakeConnectionGroup(QWidget *parent, ConnectionControls &controls, QGridLayout *&grid)
{
    auto *group = new QGroupBox(QStringLiteral("Подключение  прибора"), parent);
    group->setObjectName("GroupConnect");
    controls.Key_On = new QPushButton(QStringLiteral("Подключиться  "), group);
    controls.Key_On->setObjectName("Key_On");
    controls.Key_Test = new QPushButton(QStringLiteral("Тест  связи "), group);
    controls.Key_Test->setObjectName("Key_Test");
    // Enter in a field must never start a transfer or the link test.
    controls.Key_On->setAutoDefault(false);
    controls.Key_Test->setAutoDefault(false);
    controls.LVer = MakeValueLabel(group, "LVer");
    controls.LNum = MakeValueLabel(group, "LNum");
    controls.LSensor = MakeValueLabel(group, "LSensor");
    controls.TestProgres = MakeTestBar(group, "TestProgres");
    controls.TestProgresN = MakeTestBar(group, "TestProgresN");
    controls.TestProgresN->setStyleSheet(QStringLiteral("QProgressBar { background-color: red; }"));

    grid = new QGridLayout(group);
    grid->addWidget(controls.Key_On, 0, 0);
    grid->addWidget(controls.Key_Test, 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Версия  ПО  прибора:"), group), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Номер  прибора:"), group), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Номер  сенсора:"), group), 2, 1);
    grid->addWidget(controls.LVer, 0, 2);
    grid->addWidget(controls.LNum, 1, 2);
    grid->addWidget(controls.LSensor, 2, 2);
    return group;
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
    PageControl->addTab(BuildClockPage(), QStringLiteral("Часы"));
    PageControl->addTab(BuildMemoryPage(), QStringLiteral("Память"));
    PageControl->addTab(BuildCorrectionPage(), QStringLiteral("Коррекция  хода  часов"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(BuildConnectionStrip());
    layout->addWidget(PageControl, 1);
    resize(620, 640);

    connect(Key_On, &QPushButton::clicked, this, &TPriborF::Key_OnClick);
    connect(Key_Test, &QPushButton::clicked, this, &TPriborF::Key_TestClick);
    connect(Key_Exit, &QToolButton::clicked, this, &TPriborF::Key_ExitClick);

    connect(KeyPriem, &QToolButton::clicked, this, &TPriborF::KeyPriemClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TPriborF::KeyPriemClick);
    connect(KeyKrug, &QToolButton::clicked, this, &TPriborF::KeyKrugClick);
    connect(KeyWrPC, &QToolButton::clicked, this, &TPriborF::KeyWrPCClick);
    connect(KeyWrData, &QToolButton::clicked, this, &TPriborF::KeyWrDataClick);
    connect(KeyPl, &QToolButton::clicked, this, &TPriborF::KeyPlClick);
    connect(KeyMi, &QToolButton::clicked, this, &TPriborF::KeyMiClick);
    connect(Reset_EEPROM, &QPushButton::clicked, this, &TPriborF::Reset_EEPROMClick);
    connect(Key_SaveMemory, &QPushButton::clicked, this, &TPriborF::Key_SaveMemoryClick);
    connect(KeyPriem1, &QToolButton::clicked, this, &TPriborF::KeyPriem1Click);
    connect(Key_WriteCorrect, &QToolButton::clicked, this, &TPriborF::Key_WriteCorrectClick);
    connect(Key_InputCorrect, &QToolButton::clicked, this, &TPriborF::Key_InputCorrectClick);
}

QWidget *TPriborF::BuildConnectionStrip()
{
    auto *strip = new QWidget;
    QGridLayout *grid = nullptr;
    QGroupBox *group = MakeConnectionGroup(strip, *this, grid);
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

    GridS1 = new QTableWidget(SensorTableRows, 2, PanelSen1);
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

QWidget *TPriborF::BuildClockPage()
{
    auto *page = new QWidget;
    QGroupBox *read = MakeReadGroup(page, ETime, EDate, EPC, "ETime", "EDate", "EPC");
    KeyPriem = MakeSpeedButton(read, "KeyPriem", QStringLiteral("Считать"));
    SpeedButton1 = MakeSpeedButton(read, "SpeedButton1", QStringLiteral("Считать"));
    KeyKrug = MakeSpeedButton(read, "KeyKrug", QStringLiteral("Наблюд."));
    KeyKrug->setCheckable(true);
    auto *readGrid = static_cast<QGridLayout *>(read->layout());
    readGrid->addWidget(KeyPriem, 1, 1);
    readGrid->addWidget(SpeedButton1, 3, 1);
    readGrid->addWidget(KeyKrug, 4, 1, Qt::AlignTop);
    LClockNote = new QLabel(read);
    LClockNote->setObjectName("LClockNote");
    LClockNote->setWordWrap(true);
    readGrid->addWidget(LClockNote, 5, 0, 1, 2);

    auto *change = new QGroupBox(QStringLiteral("Изменить время/дату  в  приборе"), page);
    KeyWrPC = MakeToggleButton(change, "KeyWrPC", QStyle::SP_ComputerIcon);
    KeyWrData = MakeToggleButton(change, "KeyWrData", QStyle::SP_DialogSaveButton);
    const std::array<std::pair<QLineEdit *&, const char *>, ClockFieldCount> edits{{
        {EditHH, "EditHH"}, {EditMin, "EditMin"}, {EditSec, "EditSec"},
        {EditDay, "EditDay"}, {EditMon, "EditMon"}, {EditYear, "EditYear"},
    }};
    const std::array<QString, ClockFieldCount> captions{
        QStringLiteral("Часы:"), QStringLiteral("Минуты:"), QStringLiteral("Секунды:"),
        QStringLiteral("День:"), QStringLiteral("Месяц:"), QStringLiteral("Год:"),
    };

    auto *fields = new QGridLayout;
    for (int field = 0; field < ClockFieldCount; ++field) {
        edits[field].first = MakeClockEdit(change, edits[field].second, QStringLiteral("22"), false);
        const int row = field / 3 * 2;
        fields->addWidget(new QLabel(captions[field], change), row, field % 3);
        fields->addWidget(edits[field].first, row + 1, field % 3);
    }

    auto *fromPc = new QVBoxLayout;
    fromPc->addWidget(new QLabel(QStringLiteral("Записать  время  и  дату  из  ПЭВМ"), change));
    fromPc->addWidget(new QLabel(QStringLiteral("(на  момент  нажатия  кнопки  записи)"), change));

    auto *changeGrid = new QGridLayout(change);
    changeGrid->addLayout(fromPc, 0, 0);
    changeGrid->addWidget(KeyWrPC, 0, 1);
    changeGrid->addLayout(fields, 1, 0);
    changeGrid->addWidget(new QLabel(QStringLiteral("Записать  введенные  время  и  дату"), change), 2, 0);
    changeGrid->addWidget(KeyWrData, 2, 1);

    auto *layout = new QHBoxLayout(page);
    layout->addWidget(read, 0, Qt::AlignTop);
    layout->addWidget(change, 1, Qt::AlignTop);
    return page;
}

QWidget *TPriborF::BuildMemoryPage()
{
    auto *page = new QWidget;
    auto *bytes = new QGroupBox(QStringLiteral("EEPROM  по  байтам"), page);
    GridByte = MakeMemGrid(bytes, "GridByte",
                           {QStringLiteral("Адрес"), QStringLiteral("Младш."), QStringLiteral("Старш.")});
    (new QVBoxLayout(bytes))->addWidget(GridByte);
    auto *words = new QGroupBox(QStringLiteral("EEPROM  по  словам"), page);
    GridWord = MakeMemGrid(words, "GridWord", {QStringLiteral("Адрес"), QStringLiteral("Знач.")});
    (new QVBoxLayout(words))->addWidget(GridWord);

    KeyPl = MakeToggleButton(page, "KeyPl", QStyle::SP_ArrowDown);
    KeyMi = MakeToggleButton(page, "KeyMi", QStyle::SP_ArrowUp);
    Reset_EEPROM = new QPushButton(QStringLiteral("Обнулить фискальную память"), page);
    Reset_EEPROM->setObjectName("Reset_EEPROM");
    Reset_EEPROM->setStyleSheet(QStringLiteral("QPushButton { color: red; font-weight: bold; }"));
    // Enter must never ask for the erase.
    Reset_EEPROM->setAutoDefault(false);
    Reset_EEPROM->setDefault(false);

    Key_SaveMemory = new QPushButton(QStringLiteral("Сохранить память"), page);
    Key_SaveMemory->setObjectName("Key_SaveMemory");
    Key_SaveMemory->setAutoDefault(false);
    LDumpNote = new QLabel(page);
    LDumpNote->setObjectName("LDumpNote");
    LDumpNote->setWordWrap(true);

    auto *side = new QVBoxLayout;
    side->addWidget(KeyMi);
    side->addWidget(KeyPl);
    side->addSpacing(24);
    side->addWidget(Key_SaveMemory);
    side->addWidget(LDumpNote);
    side->addStretch();
    side->addWidget(Reset_EEPROM);

    auto *layout = new QHBoxLayout(page);
    layout->addWidget(bytes);
    layout->addWidget(words);
    layout->addLayout(side, 1);
    return page;
}

QWidget *TPriborF::BuildCorrectionPage()
{
    auto *page = new QWidget;
    QGroupBox *read = MakeReadGroup(page, ETime1, EDate1, EPC1, "ETime1", "EDate1", "EPC1");
    KeyPriem1 = MakeSpeedButton(read, "KeyPriem1", QStringLiteral("Считать"));
    auto *readGrid = static_cast<QGridLayout *>(read->layout());
    readGrid->addWidget(KeyPriem1, 1, 1);

    auto *drift = new QGroupBox(QStringLiteral(" Реальный  ход  часов "), page);
    radio_PLMi = new QGroupBox(drift);
    radio_PLMi->setObjectName("radio_PLMi");
    radio_PLMiItems = new QButtonGroup(radio_PLMi);
    auto *radioLayout = new QVBoxLayout(radio_PLMi);
    const QStringList items{QStringLiteral("Часы  \"спешат\""), QStringLiteral("Часы \"отстают\"")};
    for (int item = 0; item < items.size(); ++item) {
        auto *button = new QRadioButton(items[item], radio_PLMi);
        radio_PLMiItems->addButton(button, item);
        radioLayout->addWidget(button);
    }
    radio_PLMiItems->button(0)->setChecked(true);

    auto *error = new QGroupBox(QStringLiteral("Погрешность  за  месяц  "), drift);
    ComboBox1 = new QComboBox(error);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->addItems(CorrectionEntryTexts);
    ComboBox1->addItem(QString());
    ComboBox1->setCurrentIndex(DefaultCorrectionEntry);
    (new QVBoxLayout(error))->addWidget(ComboBox1);

    auto *driftLayout = new QVBoxLayout(drift);
    driftLayout->addWidget(radio_PLMi);
    driftLayout->addWidget(error);

    auto *correction = new QGroupBox(QStringLiteral("Коррекция  часов"), page);
    edit_correct = new QLineEdit(correction);
    edit_correct->setObjectName("edit_correct");
    edit_correct->setReadOnly(true);
    edit_correct->setMaximumWidth(80);
    Key_InputCorrect = MakeSpeedButton(correction, "Key_InputCorrect", QStringLiteral("Прием"),
                                       QStringLiteral("Считать метку  из прибора"));
    Key_WriteCorrect = MakeSpeedButton(correction, "Key_WriteCorrect", QStringLiteral("Запись"),
                                       QStringLiteral("Записать  данные  в  прибор"));
    auto *correctionGrid = new QGridLayout(correction);
    correctionGrid->addWidget(new QLabel(QStringLiteral("Считано  из  прибора"), correction), 0, 0);
    correctionGrid->addWidget(edit_correct, 1, 0);
    correctionGrid->addWidget(Key_InputCorrect, 1, 1);
    correctionGrid->addWidget(Key_WriteCorrect, 2, 1);

    auto *right = new QVBoxLayout;
    right->addWidget(drift);
    right->addWidget(correction);
    right->addStretch();

    auto *layout = new QHBoxLayout(page);
    layout->addWidget(read, 0, Qt::AlignTop);
    layout->addLayout(right, 1);
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
    Report(LoadConfig());
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
    const auto beat = [this](ProbeBeat beat) {
        AdvanceTestBar(beat == ProbeBeat::Answered ? TestProgres : TestProgresN);
    };
    if (ProbeLink(LinkProbeOwner::Panel, beat))
        AdvanceTestBar(TestProgres);
}

// The clock page on opening: the PC time in the fields, the PC date as the
// clock's date.
void TPriborF::OpenClockPage()
{
    const QDateTime now = PcNow();
    RefreshPcTime(now);
    RefreshPcDate(now);
    ClockYear = static_cast<uint8_t>(TodayYear2);
    ClockMonth = static_cast<uint8_t>(TodayMonth);
    ClockDay = static_cast<uint8_t>(TodayDay);
    FillClockFields();
    EPC->setText(PcTimeText());
}

void TPriborF::FillClockFields()
{
    EditHH->setText(TwoDigits(PcHour));
    EditMin->setText(TwoDigits(PcMinute));
    EditSec->setText(TwoDigits(PcSecond));
    EditDay->setText(TwoDigits(ClockDay));
    EditMon->setText(TwoDigits(ClockMonth));
    EditYear->setText(TwoDigits(ClockYear));
}

void TPriborF::ShowClockRead(QLineEdit *time, QLineEdit *date, QLineEdit *pc)
{
    RefreshPcTime(PcNow());
    time->setText(ClockTimeText());
    date->setText(ClockDateText());
    pc->setText(PcTimeText());
}

void TPriborF::ReadClockOnOpening()
{
    PageControl->setCurrentIndex(PageClock);
    PlaceExchangeWindow(ClockExchangeTop);
    if (!ReadClock())
        return;
    TakeClockReadOnOpening(TransferBuffer.data());
    ShowClockRead(ETime, EDate, EPC);
    // This decoding does not fit every instrument; what it makes of another
    // layout is no time or date at all and is not shown as one.
    const bool timeExists = ClockTimeExists();
    const bool dateExists = ClockDateExists();
    if (!timeExists)
        ETime->clear();
    if (!dateExists)
        EDate->clear();
    LClockNote->setText(timeExists && dateExists
                            ? QString()
                            : QStringLiteral("Время или дата прибора не распознаны: нажмите \"Считать\"."));
}

bool TPriborF::ReadClockAsWritten()
{
    if (!ReadClock())
        return false;
    TakeClockReadAsWritten(TransferBuffer.data());
    return true;
}

bool TPriborF::ReadAndShowClock(QLineEdit *time, QLineEdit *date, QLineEdit *pc)
{
    if (!ReadClockAsWritten())
        return false;
    ShowClockRead(time, date, pc);
    FillClockFields();
    LClockNote->clear();
    return true;
}

void TPriborF::KeyPriemClick()
{
    PageControl->setCurrentIndex(PageClock);
    PlaceExchangeWindow(ClockExchangeTop);
    ReadAndShowClock(ETime, EDate, EPC);
}

void TPriborF::KeyKrugClick()
{
    KeyKrug->setChecked(true);
    PlaceExchangeWindow(WatchExchangeTop, WatchExchangeLeft);
    const bool watching = WatchMode;
    WatchMode = true;
    StopExch = false;
    for (int read = 0; read < WatchReads && !StopExch; ++read) {
        if (!ReadAndShowClock(ETime, EDate, EPC))
            StopExch = true;
    }
    WatchMode = watching;
    KeyKrug->setChecked(false);
}

void TPriborF::WriteClockAndReadBack()
{
    // The read-back is taken into the clock values without being shown.
    if (WriteClock())
        ReadClockAsWritten();
}

void TPriborF::KeyWrPCClick()
{
    const QDateTime now = PcNow();
    RefreshPcTime(now);
    RefreshPcDate(now);
    ClockImage = ClockImageFor(PcHour, PcMinute, PcSecond, TodayDay, TodayMonth, TodayYear2);
    WriteClockAndReadBack();
    KeyWrPC->setChecked(false);
}

void TPriborF::KeyWrDataClick()
{
    const std::array<QLineEdit *, ClockFieldCount> edits{EditHH, EditMin, EditSec, EditDay, EditMon, EditYear};
    std::array<QString, ClockFieldCount> texts;
    std::transform(edits.begin(), edits.end(), texts.begin(), [](const QLineEdit *edit) { return edit->text(); });
    QString error;
    int badField = 0;
    const std::optional<EnteredClock> entered = ParseEnteredClock(texts, error, badField);
    if (!entered) {
        ShowWarning(error);
        edits[badField]->setFocus();
        edits[badField]->selectAll();
    } else {
        ClockHour = static_cast<uint8_t>(entered->hour);
        ClockMinute = static_cast<uint8_t>(entered->minute);
        ClockSecond = static_cast<uint8_t>(entered->second);
        ClockDay = static_cast<uint8_t>(entered->day);
        ClockMonth = static_cast<uint8_t>(entered->month);
        ClockYear = static_cast<uint8_t>(entered->year);
        ClockImage = ClockImageFor(entered->hour, entered->minute, entered->second, entered->day, entered->month,
                                   entered->year);
        WriteClockAndReadBack();
    }
    KeyWrData->setChecked(false);
}

void TPriborF::ShowMemPage()
{
    KeyMi->setVisible(HasPreviousMemPage());
    KeyPl->setVisible(HasNextMemPage());
    for (int row = 0; row < MemPageRows; ++row) {
        const MemPageRow texts = MemPageRowTexts(row);
        SetGridCell(GridByte, row, 0, texts.byteAddress);
        SetGridCell(GridByte, row, 1, texts.low);
        SetGridCell(GridByte, row, 2, texts.high);
        SetGridCell(GridWord, row, 0, texts.wordAddress);
        SetGridCell(GridWord, row, 1, texts.word);
    }
}

void TPriborF::ReadMemPage(int address)
{
    if (!ReadMemoryPage(address))
        return;
    TakeMemPage(address, TransferBuffer.data());
    ShowMemPage();
}

void TPriborF::KeyPlClick()
{
    if (HasNextMemPage())
        ReadMemPage(NextMemPageAddress());
    KeyPl->setChecked(false);
}

void TPriborF::KeyMiClick()
{
    if (MemViewFirst < MemPageBytes)
        KeyMi->hide();
    else
        ReadMemPage(PreviousMemPageAddress());
    KeyMi->setChecked(false);
}

void TPriborF::Reset_EEPROMClick()
{
    const QMessageBox::StandardButton answer = ShowMessage(
        {MessageKind::Warning, {}, EraseQuestion, {}, QMessageBox::Yes | QMessageBox::No, QMessageBox::No});
    if (answer != QMessageBox::Yes)
        return;
    if (!EraseResultMemory()) {
        ShowWarning(EraseIncompleteText);
        return;
    }
    // The instrument counts its tests from its first record again.
    Report(ForgetInstrumentRecords());
}

void TPriborF::Key_SaveMemoryClick()
{
    SaveMemoryDump(this, LDumpNote);
}

void TPriborF::KeyPriem1Click()
{
    PageControl->setCurrentIndex(PageCorrection);
    PlaceExchangeWindow(ClockExchangeTop);
    ReadAndShowClock(ETime1, EDate1, EPC1);
}

bool TPriborF::ClockRunsSlow() const
{
    return radio_PLMiItems->checkedId() == 1;
}

void TPriborF::Key_WriteCorrectClick()
{
    const std::optional<uint8_t> correction = CorrectionFromEntry(ComboBox1->currentText(), ClockRunsSlow());
    if (!correction) {
        ShowWarning(NoCorrectionText);
        return;
    }
    if (WriteCorrection(*correction) && ReadCorrection())
        edit_correct->setText(QString::number(TransferBuffer[0]));
}

void TPriborF::Key_InputCorrectClick()
{
    if (ReadCorrection() && ReadCorrection())
        edit_correct->setText(QString::number(TransferBuffer[0]));
}
