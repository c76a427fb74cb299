#include "volume/DebVol.h"

#include "exchange/ExchVars.h"
#include "exchange/Obmen.h"
#include "shell/FirstUse.h"
#include "shell/Message.h"
#include "store/OrbADat.h"
#include "volume/BreathGraph.h"
#include "volume/BreathTable.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

TDebVolF *DebVolF = nullptr;

TDebVolF *DebVolWindow()
{
    return MadeOnFirstUse(DebVolF);
}
bool DebVolActive = false;
const QString PortHeldByVolumeWindowText =
    QStringLiteral("Порт занят окном \"Объем  выдоха\": оно опрашивает прибор. Закройте это окно и повторите.");

namespace {

const QString NoLinkText = QStringLiteral("Нет связи с прибором");
const QColor LiveBackground(0, 0, 255);
const QColor StoppedBackground(128, 128, 128);   // the values are no longer live

constexpr int TableColumnWidth = 100;
constexpr int TableRowHeight = 18;

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QLineEdit *MakeValueField(QWidget *parent, const char *name, const QString &text, int width)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setFixedWidth(width);
    edit->setAlignment(Qt::AlignRight);
    QFont bold = edit->font();
    bold.setBold(true);
    edit->setFont(bold);
    return edit;
}

QToolButton *MakeToolButton(QWidget *parent, const char *name, const QString &text, const QString &hint)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(hint);
    button->setFixedSize(32, 32);
    return button;
}

QComboBox *MakeList(QWidget *parent, const char *name, const QStringList &items)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    list->setCurrentIndex(0);
    return list;
}

} // namespace

// Shows the graph image; the window draws into the image and asks for the
// changed part to be shown again.
class TGraphView : public QWidget {
public:
    TGraphView(const QImage *image, QWidget *parent) : QWidget(parent), m_image(image)
    {
        setFixedSize(image->size());
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.drawImage(event->rect(), *m_image, event->rect());
    }

private:
    const QImage *m_image;
};

// The breath table: the header row, then the rows of the recording; the
// grid has room for 7000 rows whatever the step.
class BreathTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetRows(std::vector<BreathTableRow> rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : BreathTableRows - 1;
    }

    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : BreathTableColumns;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::BackgroundRole && index.column() == 0)   // the fixed column
            return QPalette().brush(QPalette::Button);
        if (role != Qt::DisplayRole || index.row() >= int(m_rows.size()))
            return {};
        return m_rows[index.row()][index.column()];
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < m_headers.size())
            return m_headers[section];
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    QStringList m_headers = BreathTableHeaders();
    std::vector<BreathTableRow> m_rows;
};

TDebVolF::TDebVolF(QWidget *parent) : QDialog(parent), GraphImage(NewGraphImage())
{
    setObjectName("DebVolF");
    setWindowTitle(QStringLiteral("Объем  выдоха"));
    BuildControls();

    TimerIO = new QTimer(this);
    TimerIO->setObjectName("TimerIO");
    TimerIO->setInterval(SilenceIntervalMs);

    Port = new TCommEr(this);
    Port->setObjectName("Port");
    PrepareInstrumentPort(Port, QStringLiteral("COM2"), DefaultReadIntervalMs);
    Port->OnReceiveData = [this](TCommEr *sender, const uint8_t *buffer, uint16_t length) {
        PortReceiveData(sender, buffer, length);
    };
    Port->OnRequestHangup = [this](TCommEr *) { PortHangup(); };

    connect(TimerIO, &QTimer::timeout, this, &TDebVolF::TimerIOTimer);
    connect(Key_Exit, &QToolButton::clicked, this, &TDebVolF::Key_ExitClick);
    connect(key_Clr, &QPushButton::clicked, this, &TDebVolF::key_ClrClick);
    connect(key_Plus, &QToolButton::clicked, this, &TDebVolF::key_PlusClick);
    connect(key_Minus, &QToolButton::clicked, this, &TDebVolF::key_MinusClick);
    connect(box, &QComboBox::currentIndexChanged, this, &TDebVolF::boxChange);
    connect(box_MTime, &QComboBox::currentIndexChanged, this, &TDebVolF::box_MTimeChange);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
        if (PageControl1->currentWidget() == key_Rotam)
            key_RotamShow();
    });
}

TDebVolF::~TDebVolF()
{
    ClosePort();
}

void TDebVolF::BuildControls()
{
    labFont = MakeLabel(this, "labFont", QStringLiteral("labFont"));
    QFont graphFont(QStringLiteral("Courier"));
    graphFont.setStyleHint(QFont::TypeWriter);
    graphFont.setBold(true);
    graphFont.setPixelSize(11);
    labFont->setFont(graphFont);
    QPalette white = labFont->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    labFont->setPalette(white);
    labFont->hide();

    Label1 = MakeLabel(this, "Label1", QStringLiteral("Время  в  приборе"));
    edit_Time_ms = MakeValueField(this, "edit_Time_ms", QStringLiteral("00:00.00"), 100);
    QFont courier = edit_Time_ms->font();
    courier.setFamily(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::TypeWriter);
    edit_Time_ms->setFont(courier);
    Label2 = MakeLabel(this, "Label2", QStringLiteral("Давление"));
    edit_delP = MakeValueField(this, "edit_delP", {}, 80);

    GroupBox1 = new QGroupBox(QStringLiteral("Измерение  объема "), this);
    GroupBox1->setObjectName("GroupBox1");
    Label3 = MakeLabel(GroupBox1, "Label3", QStringLiteral("Ед.измер.потока"));
    box = MakeList(GroupBox1, "box",
                   {QStringLiteral("Ед. датчика  давления"), QStringLiteral("миллилитр / c"),
                    QStringLiteral("литр/час"), QStringLiteral("шкала  ротаметра"), QString(), QString()});
    Label9 = MakeLabel(GroupBox1, "Label9", QStringLiteral("Измерен."));
    Label5 = MakeLabel(GroupBox1, "Label5", QStringLiteral("объем"));
    edit_Vol = MakeValueField(GroupBox1, "edit_Vol", {}, 80);
    key_Clr = new QPushButton(QStringLiteral("Очистить"), GroupBox1);
    key_Clr->setObjectName("key_Clr");
    key_Clr->setToolTip(QStringLiteral("Очистить"));
    key_Clr->setAutoDefault(false);   // Enter must not wipe the recording
    key_Plus = MakeToolButton(GroupBox1, "key_Plus", QStringLiteral("+"), QStringLiteral("Увелить  по  вертикали"));
    key_Minus = MakeToolButton(GroupBox1, "key_Minus", QStringLiteral("−"), QStringLiteral("Уменьшить  по  вертикали"));
    Label8 = MakeLabel(GroupBox1, "Label8", QStringLiteral("kVol 1..255"));
    edit_kVol = new QLineEdit(QStringLiteral("128"), GroupBox1);
    edit_kVol->setObjectName("edit_kVol");
    edit_kVol->setFixedWidth(50);

    auto *unitColumn = new QVBoxLayout;
    unitColumn->addWidget(Label3);
    unitColumn->addWidget(box);
    auto *volumeLabels = new QVBoxLayout;
    volumeLabels->addWidget(Label9);
    volumeLabels->addWidget(Label5);
    auto *coefColumn = new QVBoxLayout;
    coefColumn->addWidget(Label8);
    coefColumn->addWidget(edit_kVol);
    auto *groupLayout = new QHBoxLayout(GroupBox1);
    groupLayout->addLayout(unitColumn);
    groupLayout->addSpacing(12);
    groupLayout->addLayout(volumeLabels);
    groupLayout->addWidget(edit_Vol);
    groupLayout->addSpacing(12);
    groupLayout->addWidget(key_Clr);
    groupLayout->addWidget(key_Plus);
    groupLayout->addWidget(key_Minus);
    groupLayout->addSpacing(12);
    groupLayout->addLayout(coefColumn);

    Key_Exit = MakeToolButton(this, "Key_Exit", {}, QStringLiteral("Выход  из   режима"));
    Key_Exit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    Key_Exit->setFixedSize(40, 40);

    auto *valuesLayout = new QGridLayout;
    valuesLayout->addWidget(Label1, 0, 0);
    valuesLayout->addWidget(edit_Time_ms, 0, 1);
    valuesLayout->addWidget(Label2, 1, 0);
    valuesLayout->addWidget(edit_delP, 1, 1);
    auto *topLayout = new QHBoxLayout;
    topLayout->addLayout(valuesLayout);
    topLayout->addSpacing(16);
    topLayout->addWidget(GroupBox1);
    topLayout->addStretch();
    topLayout->addWidget(Key_Exit, 0, Qt::AlignTop);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");

    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    imP = new TGraphView(&GraphImage, TabSheet1);
    imP->setObjectName("imP");
    auto *graphScroll = new QScrollArea(TabSheet1);
    graphScroll->setWidget(imP);
    graphScroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto *graphLayout = new QVBoxLayout(TabSheet1);
    graphLayout->setContentsMargins(0, 0, 0, 0);
    graphLayout->addWidget(graphScroll);
    PageControl1->addTab(TabSheet1, QStringLiteral("Графики  контроля  выдоха "));

    key_Rotam = new QWidget;
    key_Rotam->setObjectName("key_Rotam");
    TableModel = new BreathTableModel(this);
    grid_Vol = new QTableView(key_Rotam);
    grid_Vol->setObjectName("grid_Vol");
    grid_Vol->setModel(TableModel);
    grid_Vol->verticalHeader()->hide();
    grid_Vol->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_Vol->verticalHeader()->setDefaultSectionSize(TableRowHeight);
    grid_Vol->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_Vol->horizontalHeader()->setDefaultSectionSize(TableColumnWidth);
    grid_Vol->setFixedWidth(BreathTableColumns * TableColumnWidth + 40);

    Label6 = MakeLabel(key_Rotam, "Label6", QStringLiteral("Ротаметр"));
    grid_R = new QTableWidget(int(RotameterMarks.size()) + 1, 2, key_Rotam);
    grid_R->setObjectName("grid_R");
    grid_R->horizontalHeader()->hide();
    grid_R->verticalHeader()->hide();
    grid_R->verticalHeader()->setDefaultSectionSize(TableRowHeight + 4);
    grid_R->setFixedSize(2 * TableColumnWidth + 4, (TableRowHeight + 4) * grid_R->rowCount() + 4);
    key_Rot = new QPushButton(QStringLiteral("Ввод значений шкалы"), key_Rotam);
    key_Rot->setObjectName("key_Rot");
    key_Rot->setAutoDefault(false);
    Label7 = MakeLabel(key_Rotam, "Label7", QStringLiteral("Дискрет  времени"));
    box_MTime = MakeList(key_Rotam, "box_MTime",
                         {QStringLiteral("0.02 сек"), QStringLiteral("0.1  сек"), QStringLiteral("0.2 сек")});

    auto *sideLayout = new QVBoxLayout;
    sideLayout->addWidget(Label6);
    sideLayout->addWidget(grid_R);
    sideLayout->addWidget(key_Rot);
    sideLayout->addSpacing(16);
    sideLayout->addWidget(Label7);
    sideLayout->addWidget(box_MTime);
    sideLayout->addStretch();
    auto *tablesLayout = new QHBoxLayout(key_Rotam);
    tablesLayout->addWidget(grid_Vol);
    tablesLayout->addSpacing(16);
    tablesLayout->addLayout(sideLayout);
    tablesLayout->addStretch();
    PageControl1->addTab(key_Rotam, QStringLiteral("Таблицы  контроля  выдоха"));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(topLayout);
    layout->addWidget(PageControl1, 1);
    // The whole graph when the screen has room for it, else what fits.
    QSize size(GraphWidth + 40, GraphHeight + 230);
    if (const QScreen *screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.95);
    resize(size);

    ShowValuesLive(true);
}

void TDebVolF::SetReadIntervalTimeout(uint32_t ms)
{
    Port->SetReadIntervalTimeout(ms);
}

bool TDebVolF::HoldsPort(const QString &portName) const
{
    return Port->IsOpen() && Port->CommName() == portName;
}

// The graph is wiped only when the polling starts: a start that is refused
// leaves the last breath on screen.
void TDebVolF::StartPolling(int volumeCoef)
{
    DebVolActive = true;
    key_Clr->setDown(false);
    edit_kVol->setText(QString::number(volumeCoef));
    show();
    FormActivate();
}

// The polling starts here, when the launcher has shown the window. A later
// activation (the focus coming back from a message box or
// another window) changes nothing: it neither wipes the curves nor opens the
// port again, and a polling that has stopped waits for the launcher.
void TDebVolF::FormActivate()
{
    if (!DebVolActive || Poller.Polling())
        return;
    try {
        OpenPort();
    } catch (const ECommsError &e) {
        ShowValuesLive(false);
        ShowError(e.Message(), e.Reason());
        return;
    }
    RedrawBackground();
    Recorder.BeginPolling();
    NoLink = false;
    ShowValuesLive(true);
    Carry(Poller.Start());
}

void TDebVolF::OpenPort()
{
    Port->SetCommName(PortName);
    Port->OpenComm();
    Lease.Acquire(PortName, PortHeldByVolumeWindowText);
}

void TDebVolF::ClosePort()
{
    Port->CloseComm();
    Lease.Release();
}

void TDebVolF::FormClose()
{
    ClosePort();
    TimerIO->stop();
    Poller.Stop();
    Recorder.EndPolling();
}

void TDebVolF::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    // Minimising is spontaneous and leaves the polling running; closing or
    // hiding the window ends it.
    if (!event->spontaneous())
        FormClose();
}

void TDebVolF::Carry(const std::vector<PollEvent> &events)
{
    for (const PollEvent &event : events) {
        switch (event.kind) {
        case PollEvent::Send:
            Port->SendData(event.frame.bytes.data(), event.frame.length);
            TimerIO->start();
            break;
        case PollEvent::Sample:
            ShowSample(event.reading);
            RecordSample();
            break;
        case PollEvent::Stopped:
            EndPolling(event.stop);
            break;
        }
    }
    if (!Poller.AwaitReply())
        TimerIO->stop();
}

void TDebVolF::PortReceiveData(TCommEr *, const uint8_t *Buffer, uint16_t BufferLength)
{
    Carry(Poller.Receive(Buffer, BufferLength));
}

void TDebVolF::TimerIOTimer()
{
    TimerIO->stop();
    Carry(Poller.Silence());
}

// An unplugged adapter answers nothing more: the polling ends at once rather
// than after three silent seconds.
void TDebVolF::PortHangup()
{
    if (!Poller.Polling())
        return;
    Poller.Stop();
    EndPolling(PollStop::Silence);
}

// Silence, wrong echoes and a lost port end the polling alike: the operator
// is told, and the values left on screen no longer look live.
void TDebVolF::EndPolling(PollStop)
{
    TimerIO->stop();
    NoLink = true;
    ClosePort();
    Recorder.EndPolling();
    ShowValuesLive(false);
    ShowMessage({MessageKind::Error, {}, NoLinkText, {}, QMessageBox::Ok | QMessageBox::Cancel});
}

void TDebVolF::ShowValuesLive(bool live)
{
    for (QLineEdit *field : {edit_Time_ms, edit_delP, edit_Vol}) {
        QPalette palette = field->palette();
        palette.setColor(QPalette::Base, live ? LiveBackground : StoppedBackground);
        palette.setColor(QPalette::Text, Qt::white);
        field->setPalette(palette);
    }
}

void TDebVolF::ShowSample(const FlowReading &reading)
{
    const ShownSample shown = Recorder.Show(reading);
    edit_Time_ms->setText(InstrumentTimeText(shown.timeTenths));
    edit_Vol->setText(LitresText(shown.volumeMl));
    edit_delP->setText(QString::number(shown.pressure));
}

void TDebVolF::RecordSample()
{
    const std::optional<PlotStep> step = Recorder.Record(PressureScale);
    if (!step)
        return;
    if (step->restarted)
        RedrawBackground();
    DrawCurveSegment(GraphImage, step->pressureFrom, step->pressureTo, PressureCurveColor);
    DrawCurveSegment(GraphImage, step->volumeFrom, step->volumeTo, VolumeCurveColor);
    const QRect changed = QRect(step->pressureFrom, step->pressureTo).normalized()
                              .united(QRect(step->volumeFrom, step->volumeTo).normalized())
                              .adjusted(-1, -1, 1, 1);
    imP->update(changed);
}

void TDebVolF::RedrawBackground()
{
    DrawGraphBackground(GraphImage, PressureScale, labFont->font());
    imP->update();
}

void TDebVolF::Key_ExitClick()
{
    close();
}

void TDebVolF::key_ClrClick()
{
    Recorder.ClearArrays();
    key_Clr->setDown(false);
    RedrawBackground();
}

// The curves drawn so far are not drawn again at the new scale.
void TDebVolF::key_PlusClick()
{
    if (PressureScale >= MaxPressureScale)
        return;
    ++PressureScale;
    RedrawBackground();
}

void TDebVolF::key_MinusClick()
{
    if (PressureScale <= MinPressureScale)
        return;
    --PressureScale;
    RedrawBackground();
}

void TDebVolF::boxChange()
{
    FlowUnit = box->currentIndex();
    FillBreathTable();
}

void TDebVolF::box_MTimeChange()
{
    TimeStep = box_MTime->currentIndex();
    FillBreathTable();
}

void TDebVolF::key_RotamShow()
{
    FillBreathTable();
}

void TDebVolF::FillBreathTable()
{
    const auto rotameter = RotameterTableTexts();
    for (int row = 0; row < int(rotameter.size()); ++row) {
        for (int column = 0; column < 2; ++column) {
            QTableWidgetItem *item = grid_R->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                grid_R->setItem(row, column, item);
            }
            item->setText(rotameter[row][column]);
        }
    }
    TableModel->SetRows(BuildBreathTable(Recorder.BreathPressure, Recorder.BreathVolume, TimeStep, FlowUnit,
                                         Recorder.RecordedEnd()));
}
