#include "sensor/OrbSUSen.h"

#include "panel/SensorGrid.h"
#include "sensor/SensorEdit.h"
#include "service/Debug.h"
#include "shell/FirstUse.h"
#include "shell/Message.h"
#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"

#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

TSensorF *SensorF = nullptr;

TSensorF *SensorDataWindow()
{
    return MadeOnFirstUse(SensorF);
}

namespace {

const QString VersionText = QStringLiteral("v 2.00");
constexpr int SensorNumberWidth = 4;
constexpr int ShownWords = 31;   // word 31, the sensor number, is not shown

const QString ConsultationText = QStringLiteral(
    "Консультации по настройке сенсоров и по работе с программой дает сервисная служба "
    "изготовителя прибора.\n"
    "Адрес, электронная почта и телефоны службы указаны в паспорте прибора.");

QLabel *MakeLabel(const QString &text, const char *name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QLineEdit *MakeEdit(const QString &text, const char *name, QWidget *parent)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    return edit;
}

QPushButton *MakeButton(const QString &text, const char *name, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

// A two-column grid: fixed labels in column 0, numbers in column 1.
QTableWidget *MakeGrid(const char *name, int rows, QWidget *parent)
{
    auto *grid = new QTableWidget(rows, 2, parent);
    grid->setObjectName(name);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(18);
    grid->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    grid->setColumnWidth(0, 150);
    grid->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < rows; ++row) {
        auto *label = new QTableWidgetItem;
        label->setFlags(Qt::ItemIsEnabled);
        grid->setItem(row, 0, label);
        grid->setItem(row, 1, new QTableWidgetItem);
    }
    return grid;
}

void SetColumn(QTableWidget *grid, int column, int row, const QString &text)
{
    grid->item(row, column)->setText(text);
}

// The service window is in its own exec() while this window is open; hiding
// it the dialog's way would end that loop, so it is hidden as a plain window.
void HideServiceWindow()
{
    if (DebugF)
        DebugF->QWidget::setVisible(false);
}

} // namespace

TSensorF::TSensorF(QWidget *parent) : QDialog(parent)
{
    setObjectName("SensorF");
    setWindowTitle(QStringLiteral("Данные  по  сенсорам"));

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(BuildRecordSide());
    layout->addWidget(BuildEntrySide(), 1);

    connect(EditNS, &QLineEdit::editingFinished, this, &TSensorF::EditNSChange);
    connect(EditText, &QLineEdit::textEdited, this, &TSensorF::EditTextChange);
    connect(Key_Plus, &QPushButton::clicked, this, &TSensorF::Key_PlusClick);
    connect(Key_Minus, &QPushButton::clicked, this, &TSensorF::Key_MinusClick);
    connect(Key_Plus1, &QPushButton::clicked, this, &TSensorF::Key_Plus1Click);
    connect(Key_DataEdit, &QPushButton::clicked, this, &TSensorF::Key_DataEditClick);
    connect(edit_17, &QLineEdit::textEdited, this, &TSensorF::edit_17Change);
    connect(key_DelMi, &QPushButton::clicked, this, &TSensorF::key_DelMiClick);
    connect(key_DelPl, &QPushButton::clicked, this, &TSensorF::key_DelPlClick);
    connect(Key_Exit, &QToolButton::clicked, this, &TSensorF::Key_ExitClick);
    L_Ver->installEventFilter(this);
}

QWidget *TSensorF::BuildRecordSide()
{
    auto *side = new QWidget(this);
    Label1 = MakeLabel(QStringLiteral("Данные  сенсора:  "), "Label1", side);
    EditNS = MakeEdit(QString(), "EditNS", side);
    EditNS->setFixedWidth(70);
    EditNS->setAlignment(Qt::AlignRight);
    Key_Plus = MakeButton(QStringLiteral("+1"), "Key_Plus", side);
    Key_Minus = MakeButton(QStringLiteral("-1"), "Key_Minus", side);
    for (QPushButton *button : {Key_Plus, Key_Minus})
        button->setFixedWidth(36);

    GridS = MakeGrid("GridS", ShownWords, side);
    for (int k = 0; k < ShownWords; ++k)
        SetColumn(GridS, 0, k, SensorWordLabels[k]);
    GridS->setMinimumWidth(250);
    GridS->setMinimumHeight(420);

    auto *numberRow = new QHBoxLayout;
    numberRow->addWidget(Label1);
    numberRow->addWidget(EditNS);
    numberRow->addWidget(Key_Plus);
    numberRow->addWidget(Key_Minus);
    numberRow->addStretch();

    auto *layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(numberRow);
    layout->addWidget(GridS, 1);
    return side;
}

QWidget *TSensorF::BuildEntrySide()
{
    auto *side = new QWidget(this);
    Label4 = MakeLabel(QStringLiteral("Примечания. (Номер прибора, владелец и т.п.) "), "Label4", side);
    EditText = MakeEdit(QString(), "EditText", side);

    Label2 = MakeLabel(QStringLiteral("Используется  версия  базы  данных:  "), "Label2", side);
    L_Ver = MakeLabel(VersionText, "L_Ver", side);
    L_Ver->setCursor(Qt::PointingHandCursor);

    Memo1 = new QPlainTextEdit(ConsultationText, side);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setStyleSheet(QStringLiteral("QPlainTextEdit { background-color: #d4d0c8; }"));
    Memo1->setFixedHeight(84);

    Label5 = MakeLabel(QStringLiteral("k определения объема:"), "Label5", side);
    edit_17 = MakeEdit(QStringLiteral("100"), "edit_17", side);
    edit_17->setFixedWidth(60);
    txt_PlMinus = MakeEdit(QStringLiteral("100"), "txt_PlMinus", side);
    txt_PlMinus->setFixedWidth(60);
    key_DelMi = MakeButton(QStringLiteral("-"), "key_DelMi", side);
    key_DelPl = MakeButton(QStringLiteral("+"), "key_DelPl", side);
    for (QPushButton *button : {key_DelMi, key_DelPl})
        button->setFixedWidth(30);

    Label3 = MakeLabel(QStringLiteral("Основные характеристики (смеси):"), "Label3", side);
    GridBaza = MakeGrid("GridBaza", MixtureCount, side);
    for (int i = 0; i < MixtureCount; ++i)
        SetColumn(GridBaza, 0, i, CalibrationPointLabels[i]);
    GridBaza->setFixedHeight(MixtureCount * 18 + 4);

    Key_NewV = MakeButton(QStringLiteral("Создать базу  "), "Key_NewV", side);
    Key_NewV->setEnabled(false);
    Key_Plus1 = MakeButton(QStringLiteral("Плюс 1"), "Key_Plus1", side);
    Key_DataEdit = MakeButton(QStringLiteral("Ввод"), "Key_DataEdit", side);
    Key_DataEdit->setToolTip(QStringLiteral("Пересчет  данных "));
    Key_Exit = new QToolButton(side);
    Key_Exit->setObjectName("Key_Exit");
    Key_Exit->setToolTip(QStringLiteral("Выход  "));
    Key_Exit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    Key_Exit->setFixedSize(50, 50);

    auto *version = new QHBoxLayout;
    version->addWidget(Label2);
    version->addWidget(L_Ver);
    version->addStretch();

    auto *numbers = new QGridLayout;
    numbers->addWidget(Label5, 0, 0);
    numbers->addWidget(edit_17, 0, 1);
    numbers->addWidget(txt_PlMinus, 1, 1);
    numbers->addWidget(key_DelMi, 1, 2);
    numbers->addWidget(key_DelPl, 1, 3);
    numbers->setColumnStretch(4, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Key_NewV);
    buttons->addWidget(Key_Plus1);
    buttons->addWidget(Key_DataEdit);
    buttons->addStretch();
    buttons->addWidget(Key_Exit);

    auto *layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Label4);
    layout->addWidget(EditText);
    layout->addLayout(version);
    layout->addWidget(Memo1);
    layout->addLayout(numbers);
    layout->addWidget(Label3);
    layout->addWidget(GridBaza);
    layout->addStretch();
    layout->addLayout(buttons);
    return side;
}

void TSensorF::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Only an opening activates: coming back from a message box this window
    // showed must not load again. The window appears before its messages.
    if (!event->spontaneous()) {
        RecordShown = false;
        AtOpening = {SensorNumber, SensorNumberText, VolumeCoef, ConfigFileBytes()};
        QMetaObject::invokeMethod(this, &TSensorF::FormActivate, Qt::QueuedConnection);
    }
}

bool TSensorF::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == L_Ver && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        L_VerClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TSensorF::FormActivate()
{
    if (!isVisible())
        return;
    if (DebugF) {
        const int number = TypedNumber(DebugF->OpeningForSensorWindow().sensorNumberText);
        if (CheckSensorNumber(number))
            SensorNumber = number;
    }
    const MixtureArray handedOver = MixtureValues;

    HideServiceWindow();
    L_Ver->setText(VersionText);
    ShowEntryButtons(DataEntryEnabled);
    SensorNumberText = RightAligned(SensorNumber, SensorNumberWidth);
    EditNS->setText(SensorNumberText);

    if (!LoadSensorBase(SensorNumber)) {
        ShowNoRecord();
        return;
    }
    // A sensor without stored data gets a record from the readings the
    // service window handed over, stored at once.
    UnpackSensorRecord();
    if (SensorWords[0] == 0) {
        MixtureValues = handedOver;
        StoreSensorRecord();
        UnpackSensorRecord();
    }
    TakeLoadedRecord();
}

std::optional<QString> TSensorF::EditedNote(int sensorNumber) const
{
    if (NoteEditedFor < 0 || NoteEditedFor != sensorNumber)
        return std::nullopt;
    return EditText->text();
}

void TSensorF::EditTextChange()
{
    NoteEditedFor = RecordShown ? SensorNumber : -1;
}

// The record just unpacked is the sensor's: shown, and handed back on closing.
void TSensorF::TakeLoadedRecord()
{
    RecordShown = true;
    DataEntryEnabled = true;
    Report(SaveConfig(ConfigSensorNumber | ConfigVolumeCoef));
    ShowSensor();
    ShowEntryButtons(EntryButtonsShown);
}

// The sensor's file could not be read whole: what the working record holds
// is not this sensor's, so nothing of it is shown, stored or handed back.
void TSensorF::ShowNoRecord()
{
    RecordShown = false;
    for (int k = 0; k < ShownWords; ++k)
        SetColumn(GridS, 1, k, QString());
    for (int i = 0; i < MixtureCount; ++i)
        SetColumn(GridBaza, 1, i, QString());
    EditText->clear();
    NoteEditedFor = -1;
    edit_17->clear();
    ShowEntryButtons(EntryButtonsShown);
}

void TSensorF::ShowEntryButtons(bool shown)
{
    EntryButtonsShown = shown;
    for (QPushButton *button : {Key_NewV, Key_Plus1}) {
        button->setEnabled(shown);
        button->setVisible(shown);
    }
    // Without a record of the sensor there is nothing to derive or store.
    Key_Plus1->setEnabled(shown && RecordShown);
    for (QPushButton *button : {Key_DataEdit, key_DelMi, key_DelPl})
        button->setEnabled(RecordShown);
}

void TSensorF::ShowSensor()
{
    ShowMixtures();
    ShowWords();
}

void TSensorF::ShowWords()
{
    for (int k = 0; k < ShownWords; ++k)
        SetColumn(GridS, 1, k, RightAligned(SensorWords[k]));
    EditText->setText(FromCp1251(SensorNote));
    NoteEditedFor = -1;
    edit_17->setText(QString::number(VolumeCoef));
}

void TSensorF::ShowMixtures()
{
    for (int i = 0; i < MixtureCount; ++i)
        SetColumn(GridBaza, 1, i, RightAligned(MixtureValues[i]));
}

MixtureArray TSensorF::TypedMixtures() const
{
    MixtureArray typed{};
    for (int i = 0; i < MixtureCount; ++i)
        typed[i] = TypedNumber(GridBaza->item(i, 1)->text());
    return typed;
}

void TSensorF::LoadSensor(int number)
{
    SensorNumber = number;
    SensorNumberText = RightAligned(number, SensorNumberWidth);
    if (!LoadSensorBase(number)) {
        ShowNoRecord();
        return;
    }
    UnpackSensorRecord();
    TakeLoadedRecord();
}

// The number is taken when the technician has finished typing it (Enter or
// leaving the field), so the numbers on the way there load nothing.
void TSensorF::EditNSChange()
{
    if (!EditNS->isModified())
        return;
    EditNS->setModified(false);
    const int number = TypedNumber(EditNS->text());
    if (!CheckSensorNumber(number)) {
        EditNS->setText(SensorNumberText);
        return;
    }
    LoadSensor(number);
}

void TSensorF::StepSensor(int step)
{
    const qint64 number = SteppedSensorNumber(TypedNumber(EditNS->text()), step);
    if (!CheckSensorNumber(number))
        return;
    LoadSensor(static_cast<int>(number));
    EditNS->setText(step > 0 ? SensorNumberText : QString::number(number));
}

void TSensorF::Key_PlusClick()
{
    StepSensor(1);
}

void TSensorF::Key_MinusClick()
{
    StepSensor(-1);
}

// The access code typed into the number field opens the entry buttons; the
// field then shows the sensor again, which loads nothing.
void TSensorF::L_VerClick()
{
    DataEntryEnabled = IsAccessCode(EditNS->text());
    EditNS->setText(SensorNumberText);
    ShowEntryButtons(DataEntryEnabled);
}

void TSensorF::Key_Plus1Click()
{
    const MixtureArray before = MixtureValues;
    MixtureValues = PlusOneMixtures(TypedMixtures());
    if (!BuildSensorRecord()) {
        MixtureValues = before;
        return;
    }
    StoreSensorBase(SensorNumber);
    Report(SaveConfig(ConfigSensorNumber | ConfigVolumeCoef));
    ShowSensor();
}

void TSensorF::Key_DataEditClick()
{
    SensorTable[VolumeCoefWord] = VolumeCoef;
    const MixtureArray mixturesBefore = MixtureValues;
    const QByteArray noteBefore = SensorNote;
    MixtureValues = TypedMixtures();
    SensorNote = ToCp1251(EditText->text());
    if (!BuildSensorRecord()) {
        MixtureValues = mixturesBefore;
        SensorNote = noteBefore;
        return;
    }
    StoreSensorBase(SensorNumber);
    SensorTable[VolumeCoefWord] = VolumeCoef;
    ShowWords();
}

void TSensorF::edit_17Change()
{
    VolumeCoef = SensorTable[VolumeCoefWord] = TypedNumber(edit_17->text());
}

// The shifted readings go into the image only; "Ввод" or "Плюс 1" store them.
void TSensorF::ShiftMixtures(int sign)
{
    const qint64 amount = TypedNumber(txt_PlMinus->text());
    const MixtureArray before = MixtureValues;
    MixtureValues = ShiftedMixtures(TypedMixtures(), sign * amount);
    if (!BuildSensorRecord()) {
        MixtureValues = before;
        return;
    }
    ShowSensor();
}

void TSensorF::key_DelMiClick()
{
    ShiftMixtures(-1);
}

void TSensorF::key_DelPlClick()
{
    ShiftMixtures(1);
}

void TSensorF::Key_ExitClick()
{
    accept();
}

void TSensorF::done(int result)
{
    if (RecordShown && HandBackToService()) {
        Report(SaveConfig(ConfigSensorNumber | ConfigSensorWords));
    } else {
        SensorNumber = AtOpening.sensorNumber;
        SensorNumberText = AtOpening.sensorNumberText;
        VolumeCoef = SensorTable[VolumeCoefWord] = AtOpening.volumeCoef;
        // The records shown on the way saved their number and coefficient.
        Report(PutBackConfig(AtOpening.config, ConfigSensorNumber | ConfigVolumeCoef));
    }
    ShowServiceWindow();
    QDialog::done(result);
}

// The record into rows 0..22 of the sensor table and the service window's
// grid; refused, with the row named, when a row would not be a word.
bool TSensorF::HandBackToService()
{
    const auto rows = SensorTableFromRecord(SensorWords, MixtureValues, VolumeCoef, SensorNumber);
    if (const int row = FirstRowNotAWord(rows); row >= 0) {
        ShowWarning(QStringLiteral("Данные сенсора не переданы в таблицу прибора: строка %1 «%2» = %3, "
                                   "а допустимо от 0 до %4.")
                        .arg(row)
                        .arg(InstrumentWordLabels[row].trimmed())
                        .arg(rows[row])
                        .arg(MaxWord));
        return false;
    }
    std::copy(rows.begin(), rows.end(), SensorTable.begin());
    VolumeCoef = rows[VolumeCoefWord];
    if (DebugF)
        DebugF->TakeSensorHandBack({rows, QStringLiteral("Прочитано из файла")});
    return true;
}

void TSensorF::ShowServiceWindow()
{
    if (DebugF)
        DebugF->ShowUnlocked();
}
