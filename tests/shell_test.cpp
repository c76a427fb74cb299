#include "WorkDir.h"

#include "exchange/Obmen.h"
#include "exchange/Pace.h"
#include "exchange/WireTrace.h"
#include "panel/Pribor.h"
#include "sensor/OrbSUSen.h"
#include "service/Debug.h"
#include "shell/Language.h"
#include "shell/OrbiskSA.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/List.h"
#include "views/Res.h"
#include "views/Stat.h"
#include "volume/DebVol.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QStatusBar>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QTranslator>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <tuple>
#include <vector>

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ResetDataModel(); }
    void TearDown() override { DestroyWindows(); }

    // Starts the program's windows as the program entry does and lets the
    // main window become active.
    TOrbiskSAF *Start()
    {
        DestroyWindows();
        TOrbiskSAF *main = CreateWindows();
        main->FormActivate();
        return main;
    }

    // Runs `action` while `window` is shown modally, then closes it.
    static void WhileModal(QDialog *window, const std::function<void()> &inside = {})
    {
        QTimer::singleShot(0, window, [window, inside] {
            if (inside)
                inside();
            window->reject();
        });
    }

    ScopedWorkDir dir;
    MessageRecorder messages;
};

// Processes events until `done` holds (or a generous limit has passed).
bool WaitFor(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Gives the focus to `window` as a window manager does, and waits until it
// has it.
bool Activate(QWidget *window)
{
    window->activateWindow();
    return WaitFor([window] { return QApplication::activeWindow() == window; });
}

// Plays a desktop with a window manager: every message box takes the focus
// while it is shown, and dismissing it gives the focus back to the main
// window, which then is activated anew.
class DesktopMainWindowTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        elsewhere.setWindowTitle("box");
        elsewhere.show();
        previous = SetMessageHandler([this](const MessageRequest &request) {
            boxes.push_back(request.text);
            QTimer::singleShot(0, &elsewhere, [this] {
                elsewhere.activateWindow();
                QTimer::singleShot(50, &elsewhere, [] {
                    if (OrbiskSAF)
                        OrbiskSAF->activateWindow();
                });
            });
            return QMessageBox::Ok;
        });
    }
    void TearDown() override
    {
        SetMessageHandler(previous);
        MainWindowTest::TearDown();
    }

    TOrbiskSAF *StartOnDesktop()
    {
        DestroyWindows();
        TOrbiskSAF *main = CreateWindows();
        main->installEventFilter(&activations);
        main->show();
        EXPECT_TRUE(Activate(main));
        return main;
    }

    // Takes the focus away from the main window and gives it back.
    void Reactivate(TOrbiskSAF *main)
    {
        const int before = activations.count;
        ASSERT_TRUE(Activate(&elsewhere));
        ASSERT_TRUE(Activate(main));
        ASSERT_TRUE(WaitFor([&] { return activations.count > before; }));
    }

    struct ActivationCounter : QObject {
        int count = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::WindowActivate)
                ++count;
            return false;
        }
    } activations;

    QWidget elsewhere;
    QStringList boxes;
    MessageHandler previous;
};

TEST_F(MainWindowTest, MakesEachWindowOnItsFirstOpeningWithItsCaption)
{
    Start();
    EXPECT_EQ(OrbiskSAF->windowTitle(), QStringLiteral("Орбиск 7м"));
    const auto made = [] {
        return std::vector<const QWidget *>{PriborF, ObmenF, ListF, DebugF, DebVolF, ResF, StatF, SensorF};
    };
    EXPECT_EQ(made(), std::vector<const QWidget *>(8, nullptr));

    EXPECT_EQ(PriborWindow()->windowTitle(), QStringLiteral("Прибор: \"Орбиск  7м\""));
    EXPECT_EQ(ObmenWindow()->windowTitle(), QStringLiteral("Обмен  с  прибором"));
    EXPECT_EQ(ListWindow()->windowTitle(), QStringLiteral("Списки  тестируемых"));
    EXPECT_EQ(DebugWindow()->windowTitle(), QStringLiteral("Наладка"));
    EXPECT_EQ(DebVolWindow()->windowTitle(), QStringLiteral("Объем  выдоха"));
    EXPECT_EQ(ResWindow()->windowTitle(), QStringLiteral("Результаты  тестов"));
    EXPECT_EQ(StatWindow()->windowTitle(), QStringLiteral("Статистика"));
    EXPECT_EQ(SensorDataWindow()->windowTitle(), QStringLiteral("Данные  по  сенсорам"));
    EXPECT_FALSE(DebVolF->isVisible());
    // Made once, owned by the main window, and gone with it.
    const std::vector<const QWidget *> first = made();
    EXPECT_EQ(PriborWindow(), PriborF);
    EXPECT_EQ(SensorDataWindow(), SensorF);
    EXPECT_EQ(made(), first);
    for (const QWidget *window : first)
        EXPECT_EQ(window->parentWidget(), OrbiskSAF);
    delete OrbiskSAF;
    OrbiskSAF = nullptr;
    EXPECT_EQ(made(), std::vector<const QWidget *>(8, nullptr));
    EXPECT_EQ(PriborWindow(), nullptr);
}

TEST_F(MainWindowTest, FirstStartWarnsAboutTheMissingConfigurationAndShowsCom1)
{
    TOrbiskSAF *main = Start();
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(messages.texts().first(),
              QStringLiteral("Файл orbisk_m.cnf  не найден.Будет создан новый файл"
                             "Проверьте установки в программе"));
    EXPECT_EQ(main->StatusPanelText(1), QStringLiteral("Порт: COM1"));
    EXPECT_EQ(ReadWholeFile(dir.file("orbisk_m.cnf")).size(), 72);
}

TEST_F(MainWindowTest, ChosenPortIsSavedAtOnceAndKeptForTheNextStart)
{
    TOrbiskSAF *main = Start();
    main->PortMenu()->findChild<QAction *>("COM51")->trigger();
    EXPECT_EQ(main->StatusPanelText(1), QStringLiteral("Порт: COM5"));
    EXPECT_EQ(ReadWholeFile(dir.file("orbisk_m.cnf")).at(0), 5);

    ResetDataModel();
    main = Start();
    EXPECT_EQ(PortName, QStringLiteral("COM5"));
    EXPECT_EQ(main->StatusPanelText(1), QStringLiteral("Порт: COM5"));

    main->PortMenu()->findChild<QAction *>("N13")->trigger();
    EXPECT_EQ(main->StatusPanelText(1), QStringLiteral("Порт: COM7"));
}

TEST_F(MainWindowTest, PortFromTheCommandLineIsChosenAfterTheConfigurationIsRead)
{
    // At first start the default file is written, then the port is chosen.
    DestroyWindows();
    TOrbiskSAF *main = CreateWindows();
    main->StartOnPort(4);
    main->FormActivate();
    EXPECT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(main->StatusPanelText(1), QStringLiteral("Порт: COM4"));
    EXPECT_EQ(ReadWholeFile(dir.file("orbisk_m.cnf")).at(0), 4);

    // Chosen once: later activations read the file as ever.
    main->PortMenu()->findChild<QAction *>("COM61")->trigger();
    main->FormActivate();
    EXPECT_EQ(main->StatusPanelText(1), QStringLiteral("Порт: COM6"));
}

TEST_F(MainWindowTest, StatusBarNamesTheFolderOfTheFiles)
{
    // However long the folder's path, the window keeps its width.
    const QString folder = dir.file(QString(200, 'x'));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QDir::setCurrent(folder));
    TOrbiskSAF *main = Start();
    const QString text = main->FolderPanelText();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Папка: "))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QString(200, 'x')));
    EXPECT_LE(main->statusBar()->minimumSizeHint().width(), main->width());
}

TEST_F(MainWindowTest, StatusBarShowsTheConfiguredSensorAfterTheServiceWindow)
{
    TOrbiskSAF *main = Start();
    EXPECT_EQ(main->StatusPanelText(2), QStringLiteral("Сенсор  нет данных"));

    QByteArray config = ReadWholeFile(dir.file("orbisk_m.cnf"));
    config[0] = 3;
    config[1] = char(0x04);   // sensor 1234 = 0x04D2
    config[2] = char(0xD2);
    ASSERT_TRUE(WriteWholeFile(dir.file("orbisk_m.cnf"), config));

    WhileModal(DebugWindow());
    main->findChild<QToolButton *>("Key_Nastr")->click();
    EXPECT_EQ(main->StatusPanelText(0), QStringLiteral("Орбиск 7м"));
    EXPECT_EQ(main->StatusPanelText(1), QStringLiteral("Порт: COM3"));
    EXPECT_EQ(main->StatusPanelText(2), QStringLiteral("Сенсор № 1234"));
    EXPECT_EQ(SensorNumberText, QStringLiteral("1234"));
}

TEST_F(MainWindowTest, ToolButtonStaysPressedWhileItsWindowIsOpen)
{
    TOrbiskSAF *main = Start();
    auto *button = main->findChild<QToolButton *>("KeyPribor");
    PriborWindow()->AutoClock = true;
    bool pressedMeanwhile = false;
    WhileModal(PriborWindow(), [&] {
        pressedMeanwhile = button->isChecked();
        EXPECT_FALSE(PriborWindow()->AutoConnect || PriborWindow()->AutoSensor || PriborWindow()->AutoLinkTest
                     || PriborWindow()->AutoClock);
    });
    button->click();
    EXPECT_TRUE(pressedMeanwhile);
    EXPECT_FALSE(button->isChecked());
}

TEST_F(MainWindowTest, EachWayIntoTheInstrumentPanelSetsItsOwnOpeningFlags)
{
    // The panel's exchanges end at once: the port is no serial device.
    ASSERT_TRUE(WriteWholeFile(dir.file("COM1"), "not a port"));
    TOrbiskSAF *main = Start();
    struct Way {
        const char *name;
        bool connect, sensor, linkTest, clock;
    };
    const Way ways[] = {{"KeyPribor", false, false, false, false}, {"N6", true, false, false, false},
                        {"N7", false, true, false, false},         {"N8", false, true, false, true},
                        {"N11", false, false, true, false}};
    for (const Way &way : ways) {
        PriborWindow()->AutoConnect = !way.connect;   // whatever the last way left
        PriborWindow()->AutoSensor = !way.sensor;
        PriborWindow()->AutoLinkTest = !way.linkTest;
        PriborWindow()->AutoClock = !way.clock;
        WhileModal(PriborWindow());
        if (auto *button = main->findChild<QToolButton *>(way.name))
            button->click();
        else
            main->findChild<QAction *>(way.name)->trigger();
        EXPECT_EQ(std::tuple(PriborWindow()->AutoConnect, PriborWindow()->AutoSensor, PriborWindow()->AutoLinkTest, PriborWindow()->AutoClock),
                  std::tuple(way.connect, way.sensor, way.linkTest, way.clock))
            << way.name;
    }
}

TEST_F(MainWindowTest, StatisticsOpensWithoutBlockingAndIdleMenuItemsDoNothing)
{
    TOrbiskSAF *main = Start();
    main->findChild<QToolButton *>("Key_Stat")->click();
    EXPECT_TRUE(StatF->isVisible());
    EXPECT_FALSE(main->findChild<QToolButton *>("Key_Stat")->isChecked());
    StatF->hide();

    main->findChild<QAction *>("N9")->trigger();    // "Память"
    main->findChild<QAction *>("N12")->trigger();   // "Наладка"
    for (QWidget *window : {static_cast<QWidget *>(PriborWindow()), static_cast<QWidget *>(DebugWindow())})
        EXPECT_FALSE(window->isVisible());
}

TEST(ToolkitLanguage, StandardButtonsSpeakRussian)
{
    ASSERT_TRUE(InstallToolkitTranslations());
    QMessageBox box(QMessageBox::Warning, "OrbA", QStringLiteral("Файл"), QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text().remove('&'), QStringLiteral("ОК"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove('&'), QStringLiteral("Отмена"));
    EXPECT_EQ(box.text(), QStringLiteral("Файл"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&OK"), QStringLiteral("&ОК"));
    for (QTranslator *translator : QCoreApplication::instance()->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

TEST_F(DesktopMainWindowTest, ADamagedConfigurationIsReportedOnceAndTheProgramGoesOn)
{
    QByteArray config(20, '\0');
    config[0] = 4;
    ASSERT_TRUE(WriteWholeFile(dir.file("orbisk_m.cnf"), config));
    TOrbiskSAF *main = StartOnDesktop();
    // The box has been dismissed and the main window is active again.
    ASSERT_TRUE(WaitFor([&] { return activations.count >= 2 && QApplication::activeWindow() == main; }));
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes.value(0).contains("orbisk_m.cnf"));
    EXPECT_EQ(main->StatusPanelText(1), QStringLiteral("Порт: COM4"));

    for (int i = 0; i < 3; ++i)
        Reactivate(main);
    EXPECT_EQ(boxes.size(), 1);

    // A repaired file is read at the next activation; damaged again, it is
    // reported again.
    config = QByteArray(72, '\0');
    config[0] = 6;
    ASSERT_TRUE(WriteWholeFile(dir.file("orbisk_m.cnf"), config));
    Reactivate(main);
    EXPECT_EQ(main->StatusPanelText(1), QStringLiteral("Порт: COM6"));
    ASSERT_TRUE(WriteWholeFile(dir.file("orbisk_m.cnf"), config.left(10)));
    const int before = activations.count;
    Reactivate(main);
    // Reactivated once by the test and once more when the box is dismissed.
    ASSERT_TRUE(WaitFor([&] { return activations.count >= before + 2 && QApplication::activeWindow() == main; }));
    EXPECT_EQ(boxes.size(), 2);
}

TEST_F(MainWindowTest, APortChoiceNeverReplacesAConfigurationThatCouldNotBeRead)
{
    // Reading through this link fails with an input/output error.
    ASSERT_TRUE(QFile::link("/proc/self/mem", dir.file("orbisk_m.cnf")));
    TOrbiskSAF *main = Start();
    ASSERT_EQ(messages.messages().size(), 1u);
    messages.clear();

    main->PortMenu()->findChild<QAction *>("COM51")->trigger();
    EXPECT_EQ(main->StatusPanelText(1), QStringLiteral("Порт: COM5"));
    EXPECT_EQ(PortName, QStringLiteral("COM5"));
    ASSERT_EQ(messages.messages().size(), 1u);
    EXPECT_TRUE(messages.texts().first().contains(QStringLiteral("не перезаписан")));
    main->PortMenu()->findChild<QAction *>("COM61")->trigger();
    EXPECT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(QFileInfo(dir.file("orbisk_m.cnf")).symLinkTarget(), "/proc/self/mem");
}

TEST_F(MainWindowTest, APortChoiceRewritesAShortConfigurationKeepingWhatItHeld)
{
    const QByteArray config = QByteArray::fromHex("0201c8333333") + "v9" + QByteArray(12, '\x33');
    ASSERT_TRUE(WriteWholeFile(dir.file("orbisk_m.cnf"), config));
    TOrbiskSAF *main = Start();
    EXPECT_EQ(messages.messages().size(), 1u);
    main->PortMenu()->findChild<QAction *>("COM51")->trigger();
    const QByteArray saved = ReadWholeFile(dir.file("orbisk_m.cnf"));
    ASSERT_EQ(saved.size(), 72);
    EXPECT_EQ(saved.at(0), 5);
    EXPECT_EQ(saved.mid(1, 19), config.mid(1));
}

} // namespace

TEST_F(MainWindowTest, PortMenuShowsWhatEachNameOpens)
{
    TOrbiskSAF *main = Start();
    ASSERT_TRUE(QFile::link("/dev/ttyUSB-unplugged", dir.file("COM3")));
    QMenu *menu = main->PortMenu();
    emit menu->aboutToShow();
    EXPECT_EQ(menu->findChild<QAction *>("COM31")->text(),
              QStringLiteral("COM3\tCOM3 → /dev/ttyUSB-unplugged  (нет устройства)"));
    EXPECT_TRUE(menu->findChild<QAction *>("COM91")->text().startsWith(QStringLiteral("COM9\t/dev/ttyS8")));
    // The names still choose their ports.
    menu->findChild<QAction *>("COM31")->trigger();
    EXPECT_EQ(PortName, QStringLiteral("COM3"));
    EXPECT_NE(menu->findChild<QAction *>("PortDev"), nullptr);
}

TEST_F(MainWindowTest, FastExchangeIsOffUntilChosenAndKeptInTheProgramsOwnFile)
{
    TOrbiskSAF *main = Start();
    auto *fast = main->findChild<QAction *>("N_FastExch");
    ASSERT_NE(fast, nullptr);
    EXPECT_FALSE(fast->isChecked());
    EXPECT_FALSE(FastExchange);
    const QByteArray configuration = ReadWholeFile(dir.file("orbisk_m.cnf"));

    fast->trigger();
    EXPECT_TRUE(FastExchange);
    EXPECT_TRUE(ReadWholeFile(dir.file("orba.ini")).contains("fast=true"));
    EXPECT_EQ(ReadWholeFile(dir.file("orbisk_m.cnf")), configuration);

    FastExchange = false;
    main = Start();
    EXPECT_TRUE(FastExchange);
    EXPECT_TRUE(main->findChild<QAction *>("N_FastExch")->isChecked());

    // A settings file that cannot be written keeps the exchange as it was.
    ASSERT_TRUE(QFile::remove(dir.file("orba.ini")));
    ASSERT_TRUE(QDir(dir.path()).mkdir("orba.ini"));
    messages.clear();
    main->findChild<QAction *>("N_FastExch")->trigger();
    EXPECT_TRUE(FastExchange);
    EXPECT_TRUE(main->findChild<QAction *>("N_FastExch")->isChecked());
    EXPECT_EQ(messages.messages().size(), 1u);
    FastExchange = false;
}

TEST_F(MainWindowTest, TheMenuSavesTheWireTraceWhenNoExchangeIsOpen)
{
    TOrbiskSAF *main = Start();
    ExchangeTrace().Note(QStringLiteral("a line for support"));
    SaveFileAnswer chosen(dir.file("trace.txt"));
    main->findChild<QAction *>("N_SaveLog")->trigger();
    EXPECT_EQ(chosen.requests().size(), 1u);
    EXPECT_TRUE(ReadWholeFile(dir.file("trace.txt")).contains("-- a line for support\n"));
}
