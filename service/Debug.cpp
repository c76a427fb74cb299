#include "service/Debug.h"

#include "exchange/ExchVars.h"
#include "exchange/Obmen.h"
#include "exchange/Transfers.h"
#include "panel/Pribor.h"
#include "panel/SensorGrid.h"
#include "sensor/OrbSUSen.h"
#include "sensor/SensorBase.h"
#include "service/Graf.h"
#include "shell/FirstUse.h"
#include "shell/Message.h"
#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "volume/DebVol.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QButtonGroup>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

TDebugF *DebugF = nullptr;

TDebugF *DebugWindow()
{
    return MadeOnFirstUse(DebugF);
}

namespace {

const QString NoDataText = QStringLiteral("нет данных");
const QString ReadFromInstrument = QStringLiteral("Прочитано из прибора");
const QString EnteredByUser = QStringLiteral("Введено пользователем");
const QString NoSignal = QStringLiteral("XXXX");
const QString NoTenths = QStringLiteral("X.X");

QToolButton *MakeSpeedButton(QWidget *parent, const char *name, const QString &caption, const QString &hint)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolTip(hint);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setMinimumWidth(64);
    return button;
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    // Enter in a field must never start a transfer or the link test.
    button->setAutoDefault(false);
    return button;
}

QLineEdit *MakeValueField(QWidget *parent, const char *name)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    field->setAlignment(Qt::AlignRight);
    field->setFixedWidth(80);
    return field;
}

// A group of a live view: current value(s), minimum and maximum, start and
// stop. `columns` names the value columns ("mV", and "промилле" for alcohol).
struct ViewFields {
    QList<QLineEdit *> current;
    QLineEdit *min = nullptr;
    QLineEdit *max = nullptr;
    QToolButton *start = nullptr;
    QToolButton *stop = nullptr;
};

QGroupBox *BuildViewGroup(QWidget *parent, const QString &title, const ViewFields &fields,
                          const QStringList &columns)
{
    auto *group = new QGroupBox(title, parent);
    auto *grid = new QGridLayout(group);
    for (int c = 0; c < columns.size(); ++c)
        grid->addWidget(new QLabel(columns[c], group), 0, 1 + c, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("Текущее  значение:"), group), 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("Минимальное  значение:"), group), 2, 0);
    grid->addWidget(new QLabel(QStringLiteral("Максимальное значение:"), group), 3, 0);
    for (int c = 0; c < fields.current.size(); ++c)
        grid->addWidget(fields.current[c], 1, 1 + c);
    grid->addWidget(fields.min, 2, 1);
    grid->addWidget(fields.max, 3, 1);
    for (QToolButton *button : {fields.start, fields.stop})
        button->setParent(group);
    fields.start->setToolTip(QStringLiteral("Старт  наблюдения"));
    fields.stop->setToolTip(QStringLiteral("Стоп  наблюдения"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(fields.start);
    buttons->addWidget(fields.stop);
    buttons->addStretch();
    grid->addLayout(buttons, 4, 0, 1, 1 + int(columns.size()));
    return group;
}

// A signal's current value, then its extremes taken and shown.
void ShowSignal(int value, int &min, int &max, QLineEdit *current, QLineEdit *minField, QLineEdit *maxField)
{
    current->setText(SignalText(value));
    TakeExtremes(value, min, max);
    maxField->setText(MaxText(max));
    minField->setText(MinText(min));
}

// Labels in column 0 (not editable), column 1 empty.
void PrepareTableGrid(QTableWidget *grid)
{
    PrepareSensorGrid(grid);
    for (int row = 0; row < SensorTableRows; ++row)
        if (QTableWidgetItem *label = grid->item(row, 0))
            label->setFlags(label->flags() & ~Qt::ItemIsEditable);
}

// Takes a value still being typed into a cell as Enter would. The speed
// buttons take no focus, so their click does not end the editing.
void CommitOpenEditor(QAbstractItemView *view)
{
    const QModelIndex current = view->currentIndex();
    QWidget *editor = view->indexWidget(current);
    if (!editor)
        return;
    QAbstractItemDelegate *delegate = view->itemDelegateForIndex(current);
    emit delegate->commitData(editor);
    emit delegate->closeEditor(editor);
}

void SetCell(QTableWidget *grid, int row, const QString &text)
{
    QTableWidgetItem *item = grid->item(row, 1);
    if (!item) {
        item = new QTableWidgetItem;
        grid->setItem(row, 1, item);
    }
    item->setText(text);
}

} // namespace

TDebugF::TDebugF(QWidget *parent) : QDialog(parent)
{
    setObjectName("DebugF");
    setWindowTitle(QStringLiteral("Наладка"));

    Key_Exit = new QToolButton(this);
    Key_Exit->setObjectName("Key_Exit");
    Key_Exit->setToolTip(QStringLiteral("Выход  из   режима"));
    Key_Exit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    Key_Exit->setFixedSize(50, 50);

    PanelDebug = new QWidget(this);
    PanelDebug->setObjectName("PanelDebug");
    PageControl = new QTabWidget(PanelDebug);
    PageControl->setObjectName("PageControl");
    PageControl->addTab(BuildPortPage(), QStringLiteral("Порт"));
    PageControl->addTab(BuildAlcoholPage(), QStringLiteral("Сенсор алкоголя"));
    PageControl->addTab(BuildPressurePage(), QStringLiteral("Сенсор давления"));
    PageControl->addTab(BuildPowerPage(), QStringLiteral("Питание"));
    auto *debugLayout = new QVBoxLayout(PanelDebug);
    debugLayout->setContentsMargins(0, 0, 0, 0);
    debugLayout->addWidget(PageControl);
    PanelDebug->hide();

    auto *top = new QHBoxLayout;
    top->addWidget(BuildPasswordStrip(), 1);
    top->addStretch();
    top->addWidget(Key_Exit, 0, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(PanelDebug, 1);

    TimerView = new QTimer(this);
    TimerView->setObjectName("TimerView");
    TimerView->setSingleShot(true);

    ConnectHandlers();
    resize(820, 640);
}

QWidget *TDebugF::BuildPasswordStrip()
{
    PanelPW = new QWidget(this);
    PanelPW->setObjectName("PanelPW");
    EditPW = new QLineEdit(PanelPW);
    EditPW->setObjectName("EditPW");
    EditPW->setFixedWidth(120);
    QFont bold = EditPW->font();
    bold.setBold(true);
    EditPW->setFont(bold);
    EditPW->setStyleSheet(QStringLiteral("QLineEdit { color: red; }"));

    auto *layout = new QGridLayout(PanelPW);
    layout->addWidget(new QLabel(QStringLiteral("Введите  пароль:"), PanelPW), 0, 0);
    layout->addWidget(EditPW, 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Консультации:  service@orbisk.example,  тел. 8-800-000-00-00"),
                                 PanelPW),
                      1, 0, 1, 2);
    return PanelPW;
}

QWidget *TDebugF::BuildPortPage()
{
    auto *page = new QWidget;
    QGridLayout *grid = nullptr;
    QGroupBox *group = MakeConnectionGroup(page, *this, grid);
    LVer->setText(QStringLiteral("v1.00 (Орбиск 7м)"));
    grid->addWidget(new QLabel(QStringLiteral("Получен ответ"), group), 3, 0);
    grid->addWidget(TestProgres, 3, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Нет ответа"), group), 4, 0);
    grid->addWidget(TestProgresN, 4, 1, 1, 2);

    PortN = new QGroupBox(QStringLiteral("Порт"), page);
    PortN->setObjectName("PortN");
    PortButtons = new QButtonGroup(PortN);
    auto *ports = new QGridLayout(PortN);
    for (int i = 0; i < 9; ++i) {
        auto *item = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), PortN);
        item->setObjectName(QStringLiteral("PortN_COM%1").arg(i + 1));
        PortButtons->addButton(item, i);
        ports->addWidget(item, i % 3, i / 3);
    }

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addWidget(PortN);
    layout->addStretch();
    return page;
}

QWidget *TDebugF::BuildTableGroup()
{
    auto *panel = new QWidget;
    LData = new QLabel(QStringLiteral("Прочитано  из  прибора"), panel);
    LData->setObjectName("LData");

    GridS1 = new QTableWidget(SensorTableRows, 2, panel);
    GridS1->setObjectName("GridS1");
    GridS1->horizontalHeader()->hide();
    GridS1->verticalHeader()->hide();
    GridS1->setColumnWidth(0, 198);
    GridS1->setColumnWidth(1, 130);
    GridS1->verticalHeader()->setDefaultSectionSize(16);
    GridS1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    GridS1->setEditTriggers(QAbstractItemView::AllEditTriggers);
    GridS1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    GridS1->setFixedWidth(198 + 130 + GridS1->verticalScrollBar()->sizeHint().width() + 4);
    PrepareTableGrid(GridS1);

    Key_InputSel = MakeSpeedButton(panel, "Key_InputSel", QStringLiteral("Прием"),
                                   QStringLiteral("Считать  данные  из прибора"));
    Key_InputFile = MakeSpeedButton(panel, "Key_InputFile", QStringLiteral("Файл"),
                                    QStringLiteral("Считать  данные  из  файла  \"%1\"").arg(ConfigFileName));
    Key_DataEdit = MakeSpeedButton(panel, "Key_DataEdit", QStringLiteral("Ввод"),
                                   QStringLiteral("Ручной  ввод  и  пересчет  данных "));
    Key_WriteData = MakeSpeedButton(panel, "Key_WriteData", QStringLiteral("Запись"),
                                    QStringLiteral("Записать  данные  в  прибор"));
    Key_SaveData = MakeSpeedButton(panel, "Key_SaveData", QStringLiteral("В файл"),
                                   QStringLiteral("Записать  данные  в  файл"));

    auto *buttons = new QHBoxLayout;
    for (QToolButton *button : {Key_InputSel, Key_InputFile, Key_DataEdit, Key_WriteData, Key_SaveData})
        buttons->addWidget(button);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(LData);
    layout->addWidget(GridS1, 1);
    layout->addLayout(buttons);
    return panel;
}

QWidget *TDebugF::BuildMarkGroup()
{
    auto *group = new QGroupBox(QStringLiteral("Идентефикационная  метка  "));
    EditZond = new QLineEdit(group);
    EditZond->setObjectName("EditZond");
    EditZond->setReadOnly(true);
    EditZond->setStyleSheet(QStringLiteral("QLineEdit { background-color: #ffffc0; }"));
    EditE = new QLineEdit(group);
    EditE->setObjectName("EditE");
    for (QLineEdit *field : {EditZond, EditE})
        field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Key_InputMetka = MakeSpeedButton(group, "Key_InputMetka", QStringLiteral("Прием"),
                                     QStringLiteral("Считать метку  из прибора"));
    Key_WriteMetka = MakeSpeedButton(group, "Key_WriteMetka", QStringLiteral("Запись"),
                                     QStringLiteral("Записать идентификатор  в  прибор"));

    auto *grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Метка  зонда:"), group), 0, 0);
    grid->addWidget(EditZond, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Метка  прибора:"), group), 1, 0);
    grid->addWidget(EditE, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Key_InputMetka);
    buttons->addWidget(Key_WriteMetka);
    buttons->addStretch();
    grid->addLayout(buttons, 2, 0, 1, 2);
    return group;
}

QWidget *TDebugF::BuildCurveGroup(bool alcohol)
{
    auto *group = new QGroupBox(QStringLiteral("Последнее измерение "));
    const QString hint = QStringLiteral("Считать  последний  график  работы  сенсора  из прибора");
    QToolButton *input = MakeSpeedButton(group, alcohol ? "Key_InputGrafAlc" : "Key_InputGrafP",
                                         QStringLiteral("Прием"), hint);
    QToolButton *save = MakeSpeedButton(group, alcohol ? "Key_SaveDataAlc" : "Key_SaveDataP",
                                        QStringLiteral("В файл"), QStringLiteral("Записать  данные  в  файл"));
    QPushButton *view = MakeButton(group, alcohol ? "Key_GrafAlc" : "Key_ViewGrafP",
                                   QStringLiteral("Просмотр  графика"));
    (alcohol ? Key_InputGrafAlc : Key_InputGrafP) = input;
    (alcohol ? Key_SaveDataAlc : Key_SaveDataP) = save;
    (alcohol ? Key_GrafAlc : Key_ViewGrafP) = view;

    auto *layout = new QHBoxLayout(group);
    layout->addWidget(input);
    layout->addWidget(save);
    layout->addWidget(view);
    layout->addStretch();
    return group;
}

QWidget *TDebugF::BuildAlcoholPage()
{
    auto *page = new QWidget;
    EAlcT = MakeValueField(page, "EAlcT");
    EAlcP = MakeValueField(page, "EAlcP");
    EAlcMin = MakeValueField(page, "EAlcMin");
    EAlcMax = MakeValueField(page, "EAlcMax");
    Key_StartAlcV = MakeSpeedButton(page, "Key_StartAlcV", QStringLiteral("Старт"), {});
    Key_StopAlcV = MakeSpeedButton(page, "Key_StopAlcV", QStringLiteral("Стоп"), {});

    auto *right = new QVBoxLayout;
    right->addWidget(BuildMarkGroup());
    right->addWidget(BuildViewGroup(page, QStringLiteral("Наблюдение  за  сенсором  алкоголя "),
                                    {{EAlcT, EAlcP}, EAlcMin, EAlcMax, Key_StartAlcV, Key_StopAlcV},
                                    {QStringLiteral("mV"), QStringLiteral("промилле")}));
    right->addWidget(BuildCurveGroup(true));
    right->addStretch();

    auto *layout = new QHBoxLayout(page);
    layout->addWidget(BuildTableGroup());
    layout->addLayout(right, 1);
    return page;
}

QWidget *TDebugF::BuildPressurePage()
{
    auto *page = new QWidget;
    EP = MakeValueField(page, "EP");
    EMinP = MakeValueField(page, "EMinP");
    EMaxP = MakeValueField(page, "EMaxP");
    Key_StartViewP = MakeSpeedButton(page, "Key_StartViewP", QStringLiteral("Старт"), {});
    Key_StopViewP = MakeSpeedButton(page, "Key_StopViewP", QStringLiteral("Стоп"), {});
    key_DebVol = MakeButton(page, "key_DebVol", QStringLiteral("Контроль объема выдоха"));

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(BuildViewGroup(page, QStringLiteral("Наблюдение  за  сенсором  давления "),
                                     {{EP}, EMinP, EMaxP, Key_StartViewP, Key_StopViewP}, {QStringLiteral("mV")}));
    layout->addWidget(BuildCurveGroup(false));
    layout->addWidget(key_DebVol, 0, Qt::AlignLeft);
    layout->addStretch();
    return page;
}

QWidget *TDebugF::BuildPowerPage()
{
    auto *page = new QWidget;
    EBat = MakeValueField(page, "EBat");
    EBatMin = MakeValueField(page, "EBatMin");
    EBatMax = MakeValueField(page, "EBatMax");
    Key_StartBat = MakeSpeedButton(page, "Key_StartBat", QStringLiteral("Старт"), {});
    Key_StopBat = MakeSpeedButton(page, "Key_StopBat", QStringLiteral("Стоп"), {});

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(BuildViewGroup(page, QStringLiteral("Наблюдение  за  батареей "),
                                     {{EBat}, EBatMin, EBatMax, Key_StartBat, Key_StopBat}, {QStringLiteral("mV")}));
    layout->addStretch();
    return page;
}

void TDebugF::ConnectHandlers()
{
    connect(EditPW, &QLineEdit::textEdited, this, &TDebugF::EditPWChange);
    connect(PortButtons, &QButtonGroup::idClicked, this, &TDebugF::PortNClick);
    connect(Key_Exit, &QToolButton::clicked, this, &TDebugF::Key_ExitClick);
    connect(Key_On, &QPushButton::clicked, this, &TDebugF::Key_OnClick);
    connect(Key_Test, &QPushButton::clicked, this, &TDebugF::Key_TestClick);
    connect(Key_InputSel, &QToolButton::clicked, this, &TDebugF::Key_InputSelClick);
    connect(Key_InputFile, &QToolButton::clicked, this, &TDebugF::Key_InputFileClick);
    connect(Key_DataEdit, &QToolButton::clicked, this, &TDebugF::Key_DataEditClick);
    connect(Key_WriteData, &QToolButton::clicked, this, &TDebugF::Key_WriteDataClick);
    for (QToolButton *save : {Key_SaveData, Key_SaveDataAlc, Key_SaveDataP})
        connect(save, &QToolButton::clicked, this, &TDebugF::Key_SaveDataClick);
    connect(Key_InputMetka, &QToolButton::clicked, this, &TDebugF::Key_InputMetkaClick);
    connect(Key_WriteMetka, &QToolButton::clicked, this, &TDebugF::Key_WriteMetkaClick);
    connect(key_DebVol, &QPushButton::clicked, this, &TDebugF::key_DebVolClick);
    connect(Key_StartAlcV, &QToolButton::clicked, this, &TDebugF::Key_StartAlcVClick);
    connect(Key_StopAlcV, &QToolButton::clicked, this, &TDebugF::Key_StopAlcVClick);
    for (QToolButton *start : {Key_StartViewP, Key_StartBat})
        connect(start, &QToolButton::clicked, this, &TDebugF::Key_StartViewPClick);
    for (QToolButton *stop : {Key_StopViewP, Key_StopBat})
        connect(stop, &QToolButton::clicked, this, &TDebugF::Key_StopViewPClick);
    connect(TimerView, &QTimer::timeout, this, &TDebugF::TimerViewTimer);
    connect(Key_InputGrafAlc, &QToolButton::clicked, this, &TDebugF::Key_InputGrafAlcClick);
    connect(Key_InputGrafP, &QToolButton::clicked, this, &TDebugF::Key_InputGrafPClick);
    for (QPushButton *view : {Key_GrafAlc, Key_ViewGrafP})
        connect(view, &QPushButton::clicked, this, &TDebugF::Key_GrafAlcClick);
}

// ---- Opening and closing ------------------------------------------------------

void TDebugF::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Opening runs the activation; coming back from the sensor data window,
    // which hands its record to the unlocked window, does not.
    const bool handBack = HandingToSensorWindow || (SensorF && SensorF->isVisible());
    if (!event->spontaneous() && !handBack)
        QMetaObject::invokeMethod(this, &TDebugF::FormActivate, Qt::QueuedConnection);
}

void TDebugF::hideEvent(QHideEvent *event)
{
    // Nothing keeps talking to the instrument behind a closed window.
    if (!event->spontaneous())
        StopView();
    QDialog::hideEvent(event);
}

int TDebugF::exec()
{
    constexpr int RecursiveRun = -1;   // what a second exec() of a running dialog returns
    // Hiding a window ends its modal run: the sensor data window hides this
    // one while it is open and shows it again when it hands its record back.
    // The window is then still open, and its run goes on.
    const QPointer<TDebugF> self(this);
    int result = QDialog::exec();
    while (self && isVisible() && result != RecursiveRun)
        result = QDialog::exec();
    return result;
}

void TDebugF::done(int result)
{
    HandingToSensorWindow = false;   // closed: nothing comes back to it
    StopView();
    if (GrafF)
        GrafF->close();
    if (DebVolF)
        DebVolF->close();
    QDialog::done(result);
}

void TDebugF::FormActivate()
{
    if (!isVisible())
        return;
    Report(LoadConfig());
    Key_Exit->setDown(false);
    PanelDebug->hide();
    PanelPW->show();
    PasswordEntry.clear();
    EditPW->clear();
    EditPW->setFocus();
    ShowPortInUse();
    SensorTable[18] = (SensorTable[5] - SensorTable[6]) / 10;
    PrepareTableGrid(GridS1);
}

void TDebugF::EditPWChange(const QString &text)
{
    const GateStep step = PasswordChanged(PasswordEntry, text);
    switch (step.action) {
    case GateAction::Keep:
        return;
    case GateAction::Close:
        reject();
        return;
    case GateAction::Mask:
    case GateAction::Unlock:
        EditPW->setText(step.masked);
        // The next character typed becomes the first one of the text.
        EditPW->setCursorPosition(0);
        break;
    }
    if (step.action == GateAction::Unlock) {
        PanelDebug->show();
        PanelPW->hide();
    }
}

void TDebugF::Key_ExitClick()
{
    accept();
}

// ---- Port, connection and link test --------------------------------------------

// The click changes the port and nothing else: a table just read from the
// instrument stays what the window works on. After a save that failed, the
// file's port is the one in use.
void TDebugF::PortNClick(int index)
{
    PortNumber = index + 1;
    Report(SaveConfig(ConfigPort));
    LoadConfigPort();
    ShowPortInUse();
}

// The item of the port the exchanges use.
void TDebugF::ShowPortInUse()
{
    if (PortNumber == 0)
        PortNumber = 1;
    if (QAbstractButton *item = PortButtons->button(PortNumber - 1))
        item->setChecked(true);
}

void TDebugF::Key_OnClick()
{
    PageControl->setCurrentIndex(PageAlcohol);
    ReadTable();
}

void TDebugF::Key_TestClick()
{
    TestProgres->setValue(0);
    TestProgresN->setValue(0);
    PlaceExchangeWindow(ExchangeWindowTop);
    if (ProbeLink(LinkProbeOwner::Service))
        AdvanceTestBar(TestProgres);
}

// ---- The sensor table -----------------------------------------------------------

void TDebugF::ReadTable()
{
    PlaceExchangeWindow(ExchangeWindowTop);
    if (ReadSensorTable())
        TakeTableRead();
    else
        ShowNoData();
}

void TDebugF::TakeTableRead()
{
    LData->setText(ReadFromInstrument);
    TakeSensorWords();
    LNum->setText(RightAligned(InstrumentNumber));
    LSensor->setText(RightAligned(SensorNumber));
    SensorTable[18] = (SensorTable[5] - SensorTable[6]) / 10;
    ShowSensorValues(GridS1);
}

void TDebugF::ShowNoData()
{
    LNum->setText(NoDataText);
    LSensor->setText(NoDataText);
}

QStringList TDebugF::TableCells()
{
    CommitOpenEditor(GridS1);
    QStringList cells;
    for (int row = 0; row < SensorTableRows; ++row) {
        const QTableWidgetItem *item = GridS1->item(row, 1);
        cells << (item ? item->text() : QString());
    }
    return cells;
}

void TDebugF::GridFromTable(const QStringList &cells)
{
    const std::array<int, SensorTableRows> words = WordsFromCells(cells);
    std::copy(words.begin(), words.end(), SensorTableSaved.begin());
    std::copy_n(words.begin(), MixtureCount, MixtureValues.begin());
}

void TDebugF::ShowSavedTable()
{
    PrepareTableGrid(GridS1);
    for (int row = 0; row < SensorTableRows; ++row)
        SetCell(GridS1, row, RightAligned(SensorTableSaved[row]));
}

// Each action below reads the grid once and uses exactly what it checked.

void TDebugF::Key_InputSelClick()
{
    ReadTable();
}

void TDebugF::Key_InputFileClick()
{
    // The readings may start a new record, and row 22 chooses the sensor. An
    // empty grid opens the database at sensor 0.
    const QStringList cells = TableCells();
    if (const auto problem = CheckCells(cells, {0, 1, 2, 3, 4, 5, 6, TableSensorNumberRow}, EmptyCells::Allowed)) {
        ShowWarning(QStringLiteral("Данные сенсора не открыты.\n") + CellProblemText(*problem));
        return;
    }
    DataEntryEnabled = true;
    GridFromTable(cells);
    VolumeCoef = SensorTable[VolumeCoefWord];
    TSensorF *sensor = SensorDataWindow();
    if (!sensor)
        return;
    // The sensor data window takes the place of this one and hands its
    // record back into the grid of this window, which then is shown again
    // as it was (see exec()).
    HandingToSensorWindow = true;
    hide();
    sensor->exec();
    if (HandingToSensorWindow && !isVisible())
        show();
    HandingToSensorWindow = false;
}

SensorOpening TDebugF::OpeningForSensorWindow()
{
    return {TableCells().value(TableSensorNumberRow)};
}

void TDebugF::TakeSensorHandBack(const SensorHandBack &handBack)
{
    for (int row = 0; row < SensorTableRows; ++row)
        SetCell(GridS1, row, RightAligned(handBack.rows[row]));
    LData->setText(handBack.source);
}

void TDebugF::ShowUnlocked()
{
    show();
    PanelDebug->show();
    PanelPW->hide();
}

void TDebugF::Key_DataEditClick()
{
    // The thresholds come from the seven readings; an empty row 17 takes the
    // default coefficient.
    const QStringList cells = TableCells();
    auto problem = CheckCells(cells, {0, 1, 2, 3, 4, 5, 6});
    if (!problem)
        problem = CheckCells(cells, {TableVolumeCoefRow}, EmptyCells::Allowed);
    if (problem) {
        ShowWarning(QStringLiteral("Данные не пересчитаны.\n") + CellProblemText(*problem));
        return;
    }
    GridFromTable(cells);
    const int volumeCoef = TypedNumber(cells[TableVolumeCoefRow]);
    VolumeCoef = volumeCoef;
    DeriveTransitions(SensorTable, SensorTableSaved, volumeCoef);
    LData->setText(EnteredByUser);
    ShowSavedTable();
}

void TDebugF::Key_WriteDataClick()
{
    const QStringList cells = TableCells();
    if (const auto problem = CheckCells(cells)) {
        ShowWarning(QStringLiteral("Данные в прибор не записаны.\n") + CellProblemText(*problem));
        return;
    }
    MessageRequest question{MessageKind::Warning, {},
                            QStringLiteral("Записать таблицу сенсора в прибор?\n"
                                           "Прежние данные прибора будут заменены."),
                            {}, QMessageBox::Yes | QMessageBox::No};
    question.defaultButton = QMessageBox::No;
    if (ShowMessage(question) != QMessageBox::Yes)
        return;

    GridFromTable(cells);
    PutTableBytes(SensorTableSaved, TransferBuffer.data());
    if (!WriteSensorTable())
        ShowError(QStringLiteral("Данные в прибор не записаны."));
}

void TDebugF::Key_SaveDataClick()
{
    // The readings, the volume coefficient and the sensor number go into
    // the record: each must be a word.
    const QStringList cells = TableCells();
    if (const auto problem = CheckCells(cells, {0, 1, 2, 3, 4, 5, 6, TableVolumeCoefRow, TableSensorNumberRow})) {
        ShowWarning(QStringLiteral("Данные в файл не записаны.\n") + CellProblemText(*problem));
        return;
    }
    GridFromTable(cells);
    const int number = TypedNumber(cells[TableSensorNumberRow]);
    // The sensor's file is read first, so that the other records in it are
    // written back as they were.
    if (!LoadSensorBase(number))
        return;
    SensorNumber = number;
    SensorNumberText = QString::number(number);
    VolumeCoef = TypedNumber(cells[TableVolumeCoefRow]);
    SensorTable[VolumeCoefWord] = VolumeCoef;
    // The record keeps its stored note, unless the technician has edited it
    // in the sensor data window on this very sensor.
    const std::optional<QString> edited = SensorF ? SensorF->EditedNote(number) : std::nullopt;
    SensorNote = edited ? ToCp1251(*edited) : StoredSensorNote();
    if (StoreSensorRecord())
        Report(SaveConfig(ConfigSensorNumber | ConfigSensorWords));
}

// ---- Identification marks --------------------------------------------------

bool TDebugF::ReadMark(bool (*read)(), QLineEdit *field)
{
    if (!read()) {
        field->setText(NoDataText);
        return false;
    }
    field->setText(MarkText(TransferBuffer.data()));
    return true;
}

void TDebugF::Key_InputMetkaClick()
{
    PlaceExchangeWindow(ExchangeWindowTop);
    ReadMark(ReadInstrumentMark, EditE);
    ReadMark(ReadProbeMark, EditZond);
}

void TDebugF::Key_WriteMetkaClick()
{
    const std::optional<Mark> mark = ParseMark(EditE->text());
    if (!mark) {
        ShowWarning(QStringLiteral("Метка не записана: она должна состоять ровно из 16 "
                                   "шестнадцатеричных цифр (0-9, A-F)."));
        return;
    }
    std::copy(mark->begin(), mark->end(), TransferBuffer.begin());
    if (!WriteInstrumentMark())
        ShowError(QStringLiteral("Метка в прибор не записана."));
}

// ---- The breath-volume window -----------------------------------------------

void TDebugF::key_DebVolClick()
{
    // The breath-volume window starts on the table just read, with the
    // coefficient of its word 17.
    PlaceExchangeWindow(ExchangeWindowTop);
    if (!ReadSensorTable())
        return;
    TakeSensorWords();
    SensorTable[18] = (SensorTable[5] - SensorTable[6]) / 10;
    ShowSensorValues(GridS1);
    VolumeCoef = VolumeCoefFromWord(SensorTable[VolumeCoefWord]);
    TDebVolF *volume = DebVolWindow();
    if (!volume)
        return;
    // This window runs modally: a window it opens takes input only when it
    // belongs to it.
    if (volume->parentWidget() != this)
        volume->setParent(this, volume->windowFlags());
    volume->StartPolling(VolumeCoef);
}

// ---- Live views ------------------------------------------------------------

void TDebugF::StartView(int top)
{
    PlaceExchangeWindow(top);
    LiveViewOn = true;
}

void TDebugF::StopView()
{
    LiveViewOn = false;
    TimerView->stop();
}

void TDebugF::ArmView()
{
    if (LiveViewOn && isVisible())
        TimerView->start(ViewInterval);
}

bool TDebugF::ExchangeBusy() const
{
    if (ObmenF && ObmenF->isVisible())
        return true;
    if (DebVolF && DebVolF->Polling())
        return true;
    const QWidget *modal = QApplication::activeModalWidget();
    return modal && modal != this && modal != GrafF;
}

void TDebugF::Key_StartAlcVClick()
{
    StartView(AlcoholViewTop);
    EthanolMin = EmptyMin;
    EthanolMax = EmptyMax;
    EAlcMin->clear();
    EAlcMax->clear();
    if (ReadLiveValues()) {
        const LiveValues live = DecodeLiveValues(TransferBuffer.data());
        EthanolTenths = live.ethanolTenths;
        EthanolSignal = live.ethanolSignal;
        ShowAlcohol();
    } else {
        ShowLiveFailure();
    }
    ArmView();
}

void TDebugF::Key_StartViewPClick()
{
    StartView(PressureViewTop);
    PressMin = BatMin = EmptyMin;
    PressMax = BatMax = EmptyMax;
    for (QLineEdit *field : {EMinP, EMaxP, EBatMin, EBatMax})
        field->clear();
    if (ReadLiveValues()) {
        const LiveValues live = DecodeLiveValues(TransferBuffer.data());
        PressSignal = live.pressSignal;
        ShowPressure();
        BatSignal = live.batSignal;
        ShowBattery();
    } else {
        ShowLiveFailure();
    }
    ArmView();
}

void TDebugF::Key_StopAlcVClick()
{
    StopView();
}

void TDebugF::Key_StopViewPClick()
{
    PlaceExchangeWindow(StoppedViewTop);
    StopView();
}

void TDebugF::TimerViewTimer()
{
    if (!LiveViewOn || !isVisible()) {
        StopView();
        return;
    }
    // A transfer of another kind (a long write, a message, the breath-volume
    // window's polling) is under way: this reading waits for the next tick
    // rather than cut in.
    if (!ExchangeBusy()) {
        if (ReadLiveValues()) {
            const LiveValues live = DecodeLiveValues(TransferBuffer.data());
            EthanolTenths = live.ethanolTenths;
            EthanolSignal = live.ethanolSignal;
            PressSignal = live.pressSignal;
            BatSignal = live.batSignal;
            ShowAlcohol();
            ShowPressure();
            ShowBattery();
        } else {
            ShowLiveFailure();
        }
    }
    ArmView();
}

void TDebugF::ShowAlcohol()
{
    EAlcP->setText(TenthsText(EthanolTenths));
    ShowSignal(EthanolSignal, EthanolMin, EthanolMax, EAlcT, EAlcMin, EAlcMax);
}

void TDebugF::ShowPressure()
{
    ShowSignal(PressSignal, PressMin, PressMax, EP, EMinP, EMaxP);
}

void TDebugF::ShowBattery()
{
    ShowSignal(BatSignal, BatMin, BatMax, EBat, EBatMin, EBatMax);
}

void TDebugF::ShowLiveFailure()
{
    for (QLineEdit *field : {EAlcT, EP, EBat})
        field->setText(NoSignal);
    EAlcP->setText(NoTenths);
}

// ---- The last measurement's curve ---------------------------------------------

void TDebugF::ReadCurve(int address, CurveKind kind)
{
    if (!ReadSignalRecord(address))
        return;
    LastCurve = CurveFromBytes(TransferBuffer.data());
    LastCurveAux1.fill(0);
    LastCurveAux2.fill(0);
    LastCurveKind = kind;
    if (GrafF && GrafF->isVisible())
        Key_GrafAlcClick();
}

void TDebugF::Key_InputGrafAlcClick()
{
    ReadCurve(FirstSignalRecord, CurveKind::Alcohol);
}

void TDebugF::Key_InputGrafPClick()
{
    ReadCurve(SecondSignalRecord, CurveKind::Pressure);
}

void TDebugF::Key_GrafAlcClick()
{
    if (LastCurveKind == CurveKind::None) {
        ShowInfo(QStringLiteral("График последнего измерения ещё не считан из прибора: нажмите \"Прием\"."));
        return;
    }
    if (!GrafF)
        GrafF = new TGrafF(this);
    GrafF->SetCurve(LastCurve, LastCurveKind == CurveKind::Alcohol ? QStringLiteral("Сенсор алкоголя")
                                                                    : QStringLiteral("Сенсор давления"));
    GrafF->show();
    GrafF->raise();
}
