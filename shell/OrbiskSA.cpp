#include "shell/OrbiskSA.h"

#include "exchange/Obmen.h"
#include "exchange/Pace.h"
#include "exchange/WireTrace.h"
#include "panel/Pribor.h"
#include "sensor/OrbSUSen.h"
#include "service/Debug.h"
#include "shell/CommandLine.h"
#include "shell/FirstUse.h"
#include "shell/Message.h"
#include "shell/Picture.h"
#include "shell/PortDev.h"
#include "shell/Settings.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/Arch.h"
#include "views/ArchiveStep.h"
#include "views/List.h"
#include "views/Res.h"
#include "views/Stat.h"
#include "volume/DebVol.h"
#include "shell/Message.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

TOrbiskSAF *OrbiskSAF = nullptr;

namespace {

const QString InstrumentModel = QStringLiteral("Орбиск 7м");
const QPoint PortMenuPosition(430, 180);

const char *const HelpLines[] = {
    "Для  работы  с  прибором  необходимо  его  подключить",
    "к  последовательному   порту   компьютера.  Номер   ",
    "порта  уазывается  в  меню  \"Настройка\". Проверка  ",
    "связи  с  прибором  в  меню  \"Настройка\"  или  меню",
    "\"Прибор\". Во  время  сеанса  связи  прибор  должен  ",
    "быть  включен. Коммутации  производить  при  выклю-",
    "ченных  приборе  и  компьютере.",
};

const char *const ConsultationLines[] = {
    "Консультации  по  работе  с  прибором:",
    "тел.  (000)  000-00-00,  (000)  000-00-01",
    "e-mail:  service@orbisk.example",
    "инженер  сервисной  службы",
};

QLabel *AddLabel(QWidget *parent, const QString &text, int x, int y)
{
    auto *label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

// A status bar label that shortens a long text in its middle instead of
// widening the window.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        drawFrame(&painter);
        const QRect area = contentsRect().adjusted(margin() + 2, 0, -margin() - 2, 0);
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
    }
};

// Shows a window modally with its tool button held down meanwhile.
void ExecPressed(QDialog *window, QToolButton *button)
{
    button->setChecked(true);
    window->exec();
    button->setChecked(false);
}

} // namespace

TOrbiskSAF::TOrbiskSAF(QWidget *parent) : QMainWindow(parent)
{
    setObjectName("OrbiskSAF");
    setWindowTitle(InstrumentModel);
    setGeometry(192, 114, 542, 398);
    setFont(QFont("Sans Serif", 8));

    BuildMenu();
    BuildPortMenu();
    BuildBody();
    BuildStatusBar();
}

void TOrbiskSAF::BuildBody()
{
    auto *body = new QWidget(this);
    setCentralWidget(body);

    Key_Pribor = new QWidget(body);
    Key_Pribor->setObjectName("Key_Pribor");
    Key_Pribor->setGeometry(8, 4, 520, 50);
    BuildToolBar();

    auto *image = new QLabel(body);
    image->setObjectName("ImageOrb");
    image->setGeometry(8, 58, 216, 196);
    image->setPixmap(DrawInstrumentPicture(QSize(216, 196)));

    auto *help = new QFrame(body);
    help->setObjectName("PanelHelp");
    help->setFrameShape(QFrame::Panel);
    help->setFrameShadow(QFrame::Sunken);
    help->setGeometry(228, 58, 300, 200);
    QFont small = help->font();
    small.setPointSize(7);
    help->setFont(small);
    int y = 4;
    for (const char *line : HelpLines) {
        AddLabel(help, QString::fromUtf8(line), 4, y);
        y += 14;
    }
    y += 8;
    for (const char *line : ConsultationLines) {
        AddLabel(help, QString::fromUtf8(line), 4, y);
        y += 14;
    }

    auto *address = new QFrame(body);
    address->setObjectName("PanelAdres");
    address->setFrameShape(QFrame::Panel);
    address->setFrameShadow(QFrame::Raised);
    address->setGeometry(8, 262, 520, 61);
    AddLabel(address, QStringLiteral("Прибор  специализированный  определения  концентрации "), 6, 6);
    AddLabel(address, QStringLiteral("паров  этанола  в  выдыхаемом  воздухе"), 6, 22);
    QLabel *model = AddLabel(address, QStringLiteral(" \"Орбиск  7м\""), 0, 0);
    QFont big = model->font();
    big.setPixelSize(24);
    big.setBold(true);
    model->setFont(big);
    model->setStyleSheet("color: blue");
    model->adjustSize();
    model->move(address->width() - model->width() - 8, address->height() - model->height() - 2);
    QLabel *version = AddLabel(address, QStringLiteral("v 7.03 (21.11.2018)"), 6, 40);
    version->setObjectName("Lab_ver");
}

QToolButton *TOrbiskSAF::AddToolButton(const QString &name, int x, const QString &hint,
                                       QStyle::StandardPixmap icon,
                                       void (TOrbiskSAF::*handler)())
{
    auto *button = new QToolButton(Key_Pribor);
    button->setObjectName(name);
    button->setGeometry(x, 0, 50, 50);
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setToolTip(hint);
    button->setIcon(style()->standardIcon(icon));
    button->setIconSize(QSize(32, 32));
    connect(button, &QToolButton::clicked, this, handler);
    return button;
}

void TOrbiskSAF::BuildToolBar()
{
    KeyPribor = AddToolButton("KeyPribor", 0, QStringLiteral("Прибор"),
                              QStyle::SP_ComputerIcon, &TOrbiskSAF::KeyPriborClick);
    Key_Result = AddToolButton("Key_Result", 50, QStringLiteral("Результаты  тестов"),
                               QStyle::SP_FileDialogDetailedView, &TOrbiskSAF::Key_ResultClick);
    Key_Stat = AddToolButton("Key_Stat", 100, QStringLiteral("Статистика"),
                             QStyle::SP_FileDialogContentsView, &TOrbiskSAF::Key_StatClick);
    KeyList = AddToolButton("KeyList", 150, QStringLiteral("Списки  тестируемых"),
                            QStyle::SP_FileDialogListView, &TOrbiskSAF::KeyListClick);
    Key_Nastr = AddToolButton("Key_Nastr", 200, QStringLiteral("Настройка"),
                              QStyle::SP_FileDialogInfoView, &TOrbiskSAF::Key_NastrClick);
    Key_Arch = AddToolButton("Key_Arch", 250, QStringLiteral("Архив"),
                             QStyle::SP_DirOpenIcon, &TOrbiskSAF::Key_ArchClick);
    Key_Exit = AddToolButton("Key_Exit", 469, QStringLiteral("Выход  из  программы"),
                             QStyle::SP_DialogCloseButton, &TOrbiskSAF::Key_ExitClick);
}

void TOrbiskSAF::BuildMenu()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName("MainMenu1");

    auto addItem = [this](QWidget *menu, const QString &name, const QString &text,
                          void (TOrbiskSAF::*handler)()) {
        auto *action = new QAction(text, this);
        action->setObjectName(name);
        menu->addAction(action);
        if (handler)
            connect(action, &QAction::triggered, this, handler);
        return action;
    };

    QMenu *instrument = bar->addMenu(QStringLiteral("Прибор"));
    instrument->setObjectName("N1");
    addItem(instrument, "N6", QStringLiteral("Подключение"), &TOrbiskSAF::N6Click);
    addItem(instrument, "N7", QStringLiteral("Сенсор"), &TOrbiskSAF::N7Click);
    addItem(instrument, "N8", QStringLiteral("Часы"), &TOrbiskSAF::N8Click);
    addItem(instrument, "N9", QStringLiteral("Память"), nullptr);

    addItem(bar, "N2", QStringLiteral("Результаты"), &TOrbiskSAF::N2Click);
    addItem(bar, "N3", QStringLiteral("Статистика"), &TOrbiskSAF::N3Click);
    addItem(bar, "N_Arch", QStringLiteral("Архив"), &TOrbiskSAF::Key_ArchClick);

    QMenu *settings = bar->addMenu(QStringLiteral("Настройка"));
    settings->setObjectName("N4");
    addItem(settings, "N10", QStringLiteral("Выбор  порта"), &TOrbiskSAF::N10Click);
    addItem(settings, "N11", QStringLiteral("Тест  связи"), &TOrbiskSAF::N11Click);
    addItem(settings, "N12", QStringLiteral("Наладка"), nullptr);
    settings->addSeparator();
    N_FastExch = addItem(settings, "N_FastExch", QStringLiteral("Быстрый обмен"), nullptr);
    N_FastExch->setCheckable(true);
    connect(N_FastExch, &QAction::triggered, this, &TOrbiskSAF::N_FastExchClick);
    addItem(settings, "N_SaveLog", QStringLiteral("Сохранить журнал"), &TOrbiskSAF::N_SaveLogClick);

    addItem(bar, "N5", QStringLiteral("Выход"), &TOrbiskSAF::N5Click);
}

void TOrbiskSAF::BuildPortMenu()
{
    using Handler = void (TOrbiskSAF::*)();
    struct PortItem { const char *name; Handler handler; };
    static const PortItem items[] = {
        {"COM11", &TOrbiskSAF::COM11Click}, {"COM21", &TOrbiskSAF::COM21Click},
        {"COM31", &TOrbiskSAF::COM31Click}, {"COM41", &TOrbiskSAF::COM41Click},
        {"COM51", &TOrbiskSAF::COM51Click}, {"COM61", &TOrbiskSAF::COM61Click},
        {"N13", &TOrbiskSAF::N13Click},     {"COM81", &TOrbiskSAF::COM81Click},
        {"COM91", &TOrbiskSAF::COM91Click},
    };
    Menu_Port = new QMenu(this);
    Menu_Port->setObjectName("Menu_Port");
    int number = 1;
    for (const PortItem &item : items) {
        QAction *action = Menu_Port->addAction(QStringLiteral("COM%1").arg(number++));
        action->setObjectName(item.name);
        connect(action, &QAction::triggered, this, item.handler);
    }
    Menu_Port->addSeparator();
    Menu_Port->addAction(QStringLiteral("Найти адаптер..."), this, &TOrbiskSAF::PortDevClick)
        ->setObjectName("PortDev");
    connect(Menu_Port, &QMenu::aboutToShow, this, &TOrbiskSAF::ShowPortTargets);
}

// Beside each port name, what it opens today.
void TOrbiskSAF::ShowPortTargets()
{
    const QList<QAction *> actions = Menu_Port->actions();
    for (int number = 1; number <= 9; ++number) {
        const QString target = ComPortSummary(DescribeComPort(number, QDir::currentPath()));
        actions[number - 1]->setText(QStringLiteral("COM%1\t%2").arg(number).arg(target));
    }
}

void TOrbiskSAF::PortDevClick()
{
    TPortDevF dialog(QStringLiteral("/"), QDir::currentPath(), PortNumber, this);
    dialog.exec();
    if (dialog.BoundPort() != 0)
        ChoosePort(dialog.BoundPort());
}

void TOrbiskSAF::BuildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName("StatusBar");
    bar->setSizeGripEnabled(false);
    const QString initial[3] = {InstrumentModel, QStringLiteral("Порт  COM1"),
                                QStringLiteral("Сенсор  нет данных")};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(initial[i], bar);
        StatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusPanels[i]->setMinimumWidth(100);
        StatusPanels[i]->setFrameShape(QFrame::Panel);
        StatusPanels[i]->setFrameShadow(QFrame::Sunken);
        bar->addWidget(StatusPanels[i]);
    }
    const QString folder = QDir::currentPath();
    StatusFolder = new ElidedLabel(QStringLiteral("Папка: ") + QDir::toNativeSeparators(
                                       FolderForDisplay(folder, QDir::homePath())), bar);
    StatusFolder->setObjectName("StatusFolder");
    StatusFolder->setToolTip(QDir::toNativeSeparators(folder));
    StatusFolder->setFrameShape(QFrame::Panel);
    StatusFolder->setFrameShadow(QFrame::Sunken);
    bar->addWidget(StatusFolder, 1);
}

QString TOrbiskSAF::FolderPanelText() const
{
    return StatusFolder->text();
}

QString TOrbiskSAF::StatusPanelText(int panel) const
{
    return StatusPanels[panel]->text();
}

void TOrbiskSAF::SetStatusPanel(int panel, const QString &text)
{
    StatusPanels[panel]->setText(text);
}

bool TOrbiskSAF::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QMainWindow::event(e);
}

void TOrbiskSAF::closeEvent(QCloseEvent *e)
{
    // The program ends with its main window, whatever else is still open.
    e->accept();
    QCoreApplication::quit();
}

void TOrbiskSAF::FormActivate()
{
    Report(LoadConfig());
    FastExchange = LoadFastExchangeSetting();
    N_FastExch->setChecked(FastExchange);
    if (PortAtStart != 0) {
        ChoosePort(std::exchange(PortAtStart, 0));
        return;
    }
    SetStatusPanel(1, QStringLiteral("Порт: ") + PortName);
}

void TOrbiskSAF::OpenPanel(bool connect, bool sensor, bool linkTest, bool clock)
{
    TPriborF *panel = PriborWindow();
    panel->AutoConnect = connect;
    panel->AutoSensor = sensor;
    panel->AutoLinkTest = linkTest;
    panel->AutoClock = clock;
    ExecPressed(panel, KeyPribor);
}

void TOrbiskSAF::KeyPriborClick() { OpenPanel(false, false, false, false); }
void TOrbiskSAF::N6Click() { OpenPanel(true, false, false, false); }
void TOrbiskSAF::N7Click() { OpenPanel(false, true, false, false); }
void TOrbiskSAF::N8Click() { OpenPanel(false, true, false, true); }
void TOrbiskSAF::N11Click() { OpenPanel(false, false, true, false); }

void TOrbiskSAF::Key_ResultClick() { ExecPressed(ResWindow(), Key_Result); }
void TOrbiskSAF::N2Click() { Key_ResultClick(); }

void TOrbiskSAF::Key_StatClick()
{
    StatWindow()->Open(this);
    Key_Stat->setChecked(false);
}

void TOrbiskSAF::N3Click() { Key_StatClick(); }

void TOrbiskSAF::Key_ArchClick() { ExecPressed(ArchWindow(), Key_Arch); }

void TOrbiskSAF::KeyListClick() { ExecPressed(ListWindow(), KeyList); }

void TOrbiskSAF::Key_NastrClick()
{
    Key_Nastr->setChecked(false);
    DebugWindow()->exec();
    Report(LoadConfig());
    SensorNumberText = QString::number(SensorNumber);
    SetStatusPanel(0, InstrumentModel);
    SetStatusPanel(1, QStringLiteral("Порт: ") + PortName);
    SetStatusPanel(2, QStringLiteral("Сенсор № ") + SensorNumberText);
}

void TOrbiskSAF::Key_ExitClick() { close(); }
void TOrbiskSAF::N5Click() { close(); }

void TOrbiskSAF::N10Click() { Menu_Port->popup(PortMenuPosition); }

void TOrbiskSAF::N_FastExchClick(bool on)
{
    if (!SaveFastExchangeSetting(on)) {
        N_FastExch->setChecked(FastExchange);
        ShowError(QStringLiteral("Не  удаётся  записать  файл  ") + SettingsFileName
                  + QStringLiteral(".  Обмен  с  прибором  не  изменён."));
        return;
    }
    FastExchange = on;
}

void TOrbiskSAF::N_SaveLogClick() { SaveTraceAs(this); }

void TOrbiskSAF::ChoosePort(int number)
{
    PortNumber = number;
    PortName = QStringLiteral("COM%1").arg(number);
    SetStatusPanel(1, QStringLiteral("Порт: ") + PortName);
    Report(SaveConfig(ConfigPort));
}

void TOrbiskSAF::COM11Click() { ChoosePort(1); }
void TOrbiskSAF::COM21Click() { ChoosePort(2); }
void TOrbiskSAF::COM31Click() { ChoosePort(3); }
void TOrbiskSAF::COM41Click() { ChoosePort(4); }
void TOrbiskSAF::COM51Click() { ChoosePort(5); }
void TOrbiskSAF::COM61Click() { ChoosePort(6); }
void TOrbiskSAF::N13Click() { ChoosePort(7); }
void TOrbiskSAF::COM81Click() { ChoosePort(8); }
void TOrbiskSAF::COM91Click() { ChoosePort(9); }

TOrbiskSAF *CreateWindows()
{
    OrbiskSAF = new TOrbiskSAF;
    SetWindowOwner(OrbiskSAF);
    SetObmenWindowOwner(OrbiskSAF);
    return OrbiskSAF;
}

void DestroyWindows()
{
    delete OrbiskSAF;   // owns the others
    OrbiskSAF = nullptr;
    PriborF = nullptr;
    ObmenF = nullptr;
    ListF = nullptr;
    DebugF = nullptr;
    DebVolF = nullptr;
    ResF = nullptr;
    StatF = nullptr;
    SensorF = nullptr;
    ArchF = nullptr;
    StopProgramArchive();
}
