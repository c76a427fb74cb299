#include "views/Res.h"

#include "exchange/Transfers.h"
#include "shell/FirstUse.h"
#include "shell/Message.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/Print.h"
#include "views/ResultGrid.h"
#include "views/ResultSteps.h"
#include "views/ViewCommon.h"

#include <QGridLayout>
#include <algorithm>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>

TResF *ResF = nullptr;

TResF *ResWindow()
{
    return MadeOnFirstUse(ResF);
}

namespace {

bool ReadResultRecords(int first, int count)
{
    PrepareExchangeProgress(TResF::ExchangeProgressSteps);
    return ReadResultPage(first, count);
}

QToolButton *MakeInputButton(QWidget *parent, const char *name, const QString &caption, const QString &hint)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setToolTip(hint);
    button->setMinimumSize(70, 30);
    return button;
}

} // namespace

TResF::TResF(QWidget *parent) : QDialog(parent)
{
    setObjectName("ResF");
    setWindowTitle(QStringLiteral("Результаты  тестов"));

    m_grid = new ResultsGridModel(this);
    GridRes = new QTableView(this);
    SetUpResultGrid(GridRes, m_grid);
    Key_Exit = MakeExitButton(this);

    auto *side = new QVBoxLayout;
    side->addWidget(Key_Exit, 0, Qt::AlignRight);
    side->addWidget(BuildInputGroup());
    side->addWidget(BuildPrintGroup());
    side->addStretch();

    LabelShown = new QLabel(this);
    LabelShown->setObjectName("LabelShown");
    LabelShown->setVisible(false);
    auto *column = new QVBoxLayout;
    column->addWidget(GridRes, 1);
    column->addWidget(LabelShown);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(column, 1);
    layout->addLayout(side);
    resize(820, 560);

    connect(Key_Exit, &QToolButton::clicked, this, &TResF::Key_ExitClick);
    connect(Key_InputStart, &QToolButton::clicked, this, &TResF::Key_InputStartClick);
    connect(Key_StepInput, &QToolButton::clicked, this, &TResF::Key_StepInputClick);
    connect(Button1, &QPushButton::clicked, this, &TResF::Button1Click);
    connect(Key_Export, &QPushButton::clicked, this, &TResF::Key_ExportClick);
    connect(Key_Print, &QPushButton::clicked, this, &TResF::Key_PrintClick);
    connect(Key_Pdf, &QPushButton::clicked, this, &TResF::Key_PdfClick);
}

QWidget *TResF::BuildInputGroup()
{
    GroupBox1 = new QGroupBox(QStringLiteral("Прием  данных  из  прибора "), this);
    GroupBox1->setObjectName("GroupBox1");
    Key_InputStart = MakeInputButton(GroupBox1, "Key_InputStart", QStringLiteral("Старт"),
                                     QStringLiteral("Прием данных от начала памяти прибра "));
    Key_StepInput = MakeInputButton(GroupBox1, "Key_StepInput", QStringLiteral("Шаг"),
                                    QStringLiteral("Прием следующей группы записей"));
    LabelStep = new QLabel(GroupBox1);
    LabelStep->setObjectName("LabelStep");
    LabelStep->setWordWrap(true);
    auto *grid = new QGridLayout(GroupBox1);
    grid->addWidget(Key_InputStart, 0, 0);
    grid->addWidget(Key_StepInput, 0, 1);
    grid->addWidget(LabelStep, 1, 0, 1, 2);
    return GroupBox1;
}

QWidget *TResF::BuildPrintGroup()
{
    GroupBox2 = new QGroupBox(QStringLiteral("Версия для печати "), this);
    GroupBox2->setObjectName("GroupBox2");
    const auto label = [this](const char *name, const QString &text) {
        auto *made = new QLabel(text, GroupBox2);
        made->setObjectName(name);
        return made;
    };
    Label1 = label("Label1", QStringLiteral("Будет  создан  текстовый  файл"));
    Label2 = label("Label2", QStringLiteral("Имя файла:  DD_MM.txt"));
    Label3 = label("Label3", QStringLiteral("DD - день месяца; MM - номер месяца "));
    Label4 = label("Label4", QStringLiteral("(на момент  создания  файла)"));
    Button1 = new QPushButton(QStringLiteral("СОЗДАТЬ"), GroupBox2);
    Button1->setObjectName("Button1");
    Button1->setAutoDefault(false);   // Return must not write the file
    Key_Export = MakeExportButton(GroupBox2);
    Key_Print = MakePrintButton(GroupBox2);
    Key_Pdf = MakePdfButton(GroupBox2);

    auto *column = new QVBoxLayout(GroupBox2);
    for (QLabel *each : {Label1, Label2, Label3, Label4})
        column->addWidget(each);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Key_Export);
    column->addLayout(buttons);
    auto *printButtons = new QHBoxLayout;
    printButtons->addWidget(Key_Print);
    printButtons->addWidget(Key_Pdf);
    column->addLayout(printButtons);
    return GroupBox2;
}

void TResF::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Only an opening activates the window: coming back from the exchange
    // window or a message box in the middle of a step must not reload it.
    if (!event->spontaneous())
        QMetaObject::invokeMethod(this, &TResF::FormActivate, Qt::QueuedConnection);
}

void TResF::FormActivate()
{
    Key_Exit->setDown(false);
    ResetResultsGrid();
    // Slots past the count hold no tests; they go empty into a new file. A
    // file that cannot be read leaves the store as it was.
    MarkSlotsEmpty(ResultCount, GridDataRows);
    Report(LoadLists());
    Report(LoadResults());
    m_saveOnClose = false;
    ScanResults();
    ShowResultRows(0, GridDataRows);
    ScrollToLastTests();
    ShowCountNote();
}

void TResF::ShowCountNote()
{
    const QString note = ShownOfText(std::min(ResultCount, GridDataRows), ResultCount);
    LabelShown->setText(note);
    LabelShown->setVisible(!note.isEmpty());
}

void TResF::ScrollToLastTests()
{
    const int lastRow = std::clamp(ResultCount, 0, GridDataRows - 1);
    GridRes->scrollTo(m_grid->index(lastRow, 0), QAbstractItemView::PositionAtBottom);
}

void TResF::ResetResultsGrid()
{
    LabelStep->clear();
    m_grid->Reset();
}

void TResF::ShowResultRows(int first, int n)
{
    m_grid->ShowSlots(first, n);
}

void TResF::Key_InputStartClick()
{
    if (StartAsked(ReadResultRecords) != StartEnd::Done)
        return;
    ResetResultsGrid();
    ShowResultRows(0, StartRecords);
    ShowCountNote();
    m_saveOnClose = true;
    Report(SaveResults());
}

void TResF::Key_StepInputClick()
{
    const std::optional<InstrumentReadMark> markBefore = ReadMark;
    const int countBefore = ResultCount;
    const StepReport report = StepInput(ReadResultRecords, [this](int first, int n) { ShowResultRows(first, n); });
    // Saved at once, as "Старт" is: what the operator saw taken must not
    // wait for the window to close.
    if (ReadMark != markBefore || ResultCount != countBefore) {
        m_saveOnClose = true;
        Report(SaveResults());
    }
    // The step's scan may have cut the count below rows that "Старт" filled.
    if (ResultCount < countBefore)
        ShowResultRows(ResultCount, countBefore - ResultCount);
    ScrollToLastTests();
    ShowCountNote();
    const QString message = StepEndReport(report.end);
    // A read that failed has had its box from the exchange already, and a
    // changed instrument its question.
    const bool told = report.end == StepEnd::NoAnswer || report.end == StepEnd::Changed;
    LabelStep->setText(told ? StepTallyText(report) + '\n' + message : StepTallyText(report));
    if (!message.isEmpty() && !told)
        ShowInfo(message);
}

void TResF::Button1Click()
{
    MakeDailyFileName();
    Report(ReplaceFile(DailyFileName, DailyFileText(*m_grid, ResultCount)));
}

void TResF::Key_ExportClick()
{
    ExportToSpreadsheet(this, ShownTests(*m_grid));
}

void TResF::Key_PrintClick()
{
    PreviewSheet(this, RegisterSheet(ShownTests(*m_grid)));
}

void TResF::Key_PdfClick()
{
    SaveSheetPdf(this, RegisterSheet(ShownTests(*m_grid)));
}

void TResF::Key_ExitClick()
{
    accept();
}

void TResF::done(int result)
{
    // Only a read changes the store: opening and closing leaves the file as
    // it was.
    if (m_saveOnClose)
        Report(SaveResults());
    QDialog::done(result);
}
