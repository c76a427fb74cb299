// The service window against the virtual instrument: the password gate
// typed key by key, the port choice, connecting and the link test, the
// sensor table read, recomputed and written, the identification marks and
// the live views.

#include "Child.h"
#include "ExchangeRig.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "panel/SensorGrid.h"
#include "sensor/OrbSUSen.h"
#include "service/Debug.h"
#include "service/Graf.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "volume/DebVol.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QFile>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// The virtual instrument's own sensor table.
const int InstrumentTable[23] = {3000, 2800, 2600, 2200, 2100, 1800, 1000, 2840, 2660, 2432, 2310, 2227,
                                 2130, 2002, 1910, 1855, 1827, 120,  80,   2840, 1000, 1207, 2517};

bool IsLiveRead(const QByteArray &frame) { return frame == Hex("3A 06 03 4E 00 0A"); }

int LiveReads(const std::vector<QByteArray> &frames)
{
    return static_cast<int>(std::count_if(frames.begin(), frames.end(), IsLiveRead));
}

class ServiceWindow : public ::testing::Test {
protected:
    explicit ServiceWindow(const RigSetup &setup = {}) : rig(setup)
    {
        DebugF = &window;
        // Ticks are driven by the tests; the timer itself never fires here.
        window.ViewInterval = 3600 * 1000;
    }
    ~ServiceWindow() override { DebugF = nullptr; }

    void SetUp() override { ASSERT_TRUE(rig.ready()); }

    void open()
    {
        window.show();
        QCoreApplication::processEvents();   // the activation runs once the window is up
    }

    void type(const QString &keys)
    {
        for (QChar c : keys)
            QTest::keyClick(window.EditPW, c.toLatin1());
    }

    void unlock()
    {
        open();
        type("583729");
        ASSERT_TRUE(window.PanelDebug->isVisibleTo(&window));
    }

    QString cell(int row) const
    {
        const QTableWidgetItem *item = window.GridS1->item(row, 1);
        return item ? item->text() : QString();
    }

    void setCell(int row, const QString &text) { window.GridS1->item(row, 1)->setText(text); }

    // Types into a cell's editor and leaves it open, as when the next click
    // goes to a speed button without Enter.
    void typeUnconfirmed(int row, const QString &text)
    {
        window.PageControl->setCurrentIndex(TDebugF::PageAlcohol);
        const QString before = cell(row);
        QTableWidgetItem *item = window.GridS1->item(row, 1);
        window.GridS1->setCurrentItem(item);
        window.GridS1->editItem(item);
        auto *editor = qobject_cast<QLineEdit *>(window.GridS1->indexWidget(window.GridS1->currentIndex()));
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, text);
        ASSERT_EQ(cell(row), before);
    }

    // The data bytes of the memory-write frames, in frame order.
    std::vector<QByteArray> writeFrames() const
    {
        std::vector<QByteArray> writes;
        for (const QByteArray &frame : rig.frames())
            if (frame.size() > 2 && frame[2] == 5)
                writes.push_back(frame);
        return writes;
    }

    ExchangeRig rig;
    TDebugF window;
};

// Runs `action` once, as soon as `ready` holds (checked every 20 ms while an
// event loop runs).
void Once(QObject *owner, std::function<bool()> ready, std::function<void()> action)
{
    auto *poll = new QTimer(owner);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, ready, action] {
        if (!ready())
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start();
}

class SilentInstrument : public ServiceWindow {
protected:
    SilentInstrument() : ServiceWindow({.flags = {"--silent"}}) {}
};

// ---- The password gate ------------------------------------------------------

TEST_F(ServiceWindow, TheCodeTypedKeyByKeyOpensTheWorkingArea)
{
    open();
    EXPECT_TRUE(window.PanelPW->isVisibleTo(&window));
    EXPECT_FALSE(window.PanelDebug->isVisibleTo(&window));
    const QString code = "583729";
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(window.EditPW, code[i].toLatin1());
        EXPECT_EQ(window.EditPW->text(), QString(i + 1, u'*'));
        EXPECT_EQ(window.PanelDebug->isVisibleTo(&window), i == 5) << i;
    }
    EXPECT_FALSE(window.PanelPW->isVisibleTo(&window));
    EXPECT_TRUE(rig.frames().empty());
}

TEST_F(ServiceWindow, AWrongDigitOrADeletionKeepsTheWindowLocked)
{
    open();
    type("583720");
    EXPECT_EQ(window.EditPW->text(), "******");
    EXPECT_FALSE(window.PanelDebug->isVisibleTo(&window));

    // Deleting does not take a character back out of the entry.
    window.close();
    open();
    type("58372");
    QTest::keyClick(window.EditPW, Qt::Key_Delete);
    EXPECT_EQ(window.EditPW->text(), "****");
    type("91");
    EXPECT_EQ(window.EditPW->text(), "******");
    EXPECT_FALSE(window.PanelDebug->isVisibleTo(&window));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.PasswordEntry, "5837291");
}

TEST_F(ServiceWindow, ASeventhKeyClosesTheWindow)
{
    open();
    type("123456");
    EXPECT_TRUE(window.isVisible());
    type("7");
    EXPECT_FALSE(window.isVisible());
}

TEST_F(ServiceWindow, EveryOpeningStartsLockedWithAnEmptyGrid)
{
    unlock();
    window.Key_InputSel->click();
    ASSERT_EQ(cell(21), "  1207");
    window.Key_Exit->click();
    EXPECT_FALSE(window.isVisible());

    open();
    EXPECT_FALSE(window.PanelDebug->isVisibleTo(&window));
    EXPECT_TRUE(window.EditPW->text().isEmpty());
    EXPECT_TRUE(window.PasswordEntry.isEmpty());
    for (int row = 0; row < 23; ++row) {
        EXPECT_EQ(window.GridS1->item(row, 0)->text(), InstrumentWordLabels[row]);
        EXPECT_FALSE(window.GridS1->item(row, 0)->flags() & Qt::ItemIsEditable) << row;
        EXPECT_TRUE(cell(row).isEmpty()) << row;
    }
    // The code is accepted again after a reopening.
    type("583729");
    EXPECT_TRUE(window.PanelDebug->isVisibleTo(&window));
}

TEST_F(ServiceWindow, TheSensorDataWindowHandsBackToTheStillOpenWindow)
{
    TSensorF sensor;
    SensorF = &sensor;
    bool execEnded = false;
    bool handedBack = false;
    bool fileDone = false;

    Once(&window, [this] { return window.isVisible(); }, [&] {
        type("583729");
        window.Key_InputSel->click();
        Once(&window, [&] { return sensor.isVisible(); }, [&] {
            EXPECT_FALSE(window.isVisible());
            sensor.Key_Exit->click();
            handedBack = true;
        });
        Once(&window, [&] { return fileDone; }, [&] {
            QCoreApplication::processEvents();
            EXPECT_FALSE(execEnded);
            EXPECT_TRUE(window.isVisible());
            EXPECT_EQ(QApplication::activeModalWidget(), &window);
            EXPECT_TRUE(window.PanelDebug->isVisibleTo(&window));
            // The record of the sensor, made from the readings handed over,
            // and the grid not emptied again by an activation.
            EXPECT_EQ(cell(0), "  3000");
            EXPECT_EQ(cell(22), "  2517");
            EXPECT_EQ(window.LData->text(), "Прочитано из файла");
            window.Key_Exit->click();
        });
        window.Key_InputFile->click();
        fileDone = true;
    });
    window.exec();
    execEnded = true;
    SensorF = nullptr;
    EXPECT_TRUE(handedBack);
    EXPECT_FALSE(window.isVisible());
}

// ---- Port, connection, link test ------------------------------------------------

TEST_F(ServiceWindow, ChoosingAPortSavesItAtOnce)
{
    unlock();
    EXPECT_TRUE(window.PortButtons->button(0)->isChecked());
    window.PortButtons->button(2)->click();
    EXPECT_EQ(PortNumber, 3);
    EXPECT_EQ(PortName, "COM3");
    EXPECT_EQ(ReadWholeFile(rig.dir.file(ConfigFileName)).at(0), 3);

    // The click saves the port alone: the rest as the file holds it now.
    const QString name = rig.dir.file(ConfigFileName);
    QByteArray changed = ReadWholeFile(name);
    changed.replace(0, 3, QByteArray::fromHex("0210e1"));   // port 2, sensor 4321
    changed.replace(8, 2, QByteArray::fromHex("0b54"));     // word 0 = 2900
    ASSERT_TRUE(WriteWholeFile(name, changed));
    const int sensorInUse = SensorNumber;
    window.PortButtons->button(3)->click();
    changed[0] = 4;
    EXPECT_EQ(ReadWholeFile(name), changed);
    EXPECT_EQ(SensorNumber, sensorInUse);

    // A save that fails leaves the file's port, and the window shows it.
    ASSERT_TRUE(QFile::setPermissions(name, QFileDevice::ReadOwner));
    window.PortButtons->button(4)->click();
    QFile::setPermissions(name, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(rig.messages.texts().size(), 1);
    EXPECT_EQ(PortName, "COM4");
    EXPECT_TRUE(window.PortButtons->button(3)->isChecked());
}

TEST_F(ServiceWindow, ConnectingShowsTheIdentificationAndTheTable)
{
    unlock();
    window.Key_On->click();
    EXPECT_EQ(rig.frames(), std::vector{Hex("3A 06 01 00 00 2E")});
    EXPECT_EQ(window.PageControl->currentIndex(), int(TDebugF::PageAlcohol));
    EXPECT_EQ(window.LNum->text(), "  1207");
    EXPECT_EQ(window.LSensor->text(), "  2517");
    EXPECT_EQ(window.LData->text(), "Прочитано из прибора");
    EXPECT_EQ(window.LVer->text(), "v1.00 (Орбиск 7м)");
    for (int row = 0; row < 23; ++row)
        EXPECT_EQ(cell(row), QString::number(InstrumentTable[row]).rightJustified(6)) << row;
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

TEST_F(SilentInstrument, ConnectingWithoutAnswerShowsNoData)
{
    unlock();
    window.Key_InputSel->click();
    EXPECT_EQ(window.LNum->text(), "нет данных");
    EXPECT_EQ(window.LSensor->text(), "нет данных");
    EXPECT_TRUE(cell(0).isEmpty());
    EXPECT_EQ(rig.messages.texts(), QStringList{"Нет связи с прибором"});
}

TEST_F(ServiceWindow, LinkTestThenAResultsStepRunsNormally)
{
    unlock();
    WhenReceived(rig, 3, [this] { rig.window->Key_Stop->click(); });
    window.TestProgres->setValue(50);
    window.Key_Test->click();
    const int probes = static_cast<int>(rig.frames().size());
    EXPECT_GE(probes, 3);
    EXPECT_EQ(rig.frames(), std::vector<QByteArray>(probes, Hex("3A 06 01 15 00 02")));
    // The bars stand still during the probe; the end moves the upper one.
    EXPECT_EQ(window.TestProgres->value(), 2);
    EXPECT_EQ(window.TestProgresN->value(), 0);
    EXPECT_FALSE(ServiceLinkTest);

    // The next transfer is a plain one: one frame, one reply, done.
    EXPECT_TRUE(ReadResultPage(0));
    EXPECT_EQ(rig.frames().size(), size_t(probes + 1));
    EXPECT_EQ(rig.frames().back(), Hex("3A 06 01 00 24 F6"));
}

TEST_F(SilentInstrument, ALinkTestWithoutAnswerLeavesTheAnswerBar)
{
    unlock();
    WhenReceived(rig, 2, [this] { rig.window->Key_Stop->click(); });
    window.Key_Test->click();
    EXPECT_EQ(window.TestProgres->value(), 0);
    EXPECT_FALSE(ServiceLinkTest);
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

class WrongEchoes : public ServiceWindow {
protected:
    WrongEchoes() : ServiceWindow({.flags = {"--wrong-echo", "3"}}) {}
};

TEST_F(WrongEchoes, ThreeWrongEchoesBringNothingIntoTheWindow)
{
    unlock();
    window.Key_InputSel->click();
    EXPECT_EQ(rig.frames().size(), 3u);
    EXPECT_EQ(window.LNum->text(), "нет данных");
    EXPECT_EQ(window.LSensor->text(), "нет данных");
    EXPECT_TRUE(cell(0).isEmpty());
}

// ---- The sensor table ---------------------------------------------------------

TEST_F(ServiceWindow, InputRecomputesTheThresholdsAndKeepsTheInstrumentNumbers)
{
    unlock();
    window.Key_InputSel->click();
    for (int row = 7; row < 20; ++row)
        setCell(row, "0");
    setCell(17, "99");
    setCell(22, "1234");
    window.Key_DataEdit->click();

    EXPECT_EQ(window.LData->text(), "Введено пользователем");
    const int expected[] = {2840, 2660, 2432, 2310, 2227, 2130, 2002, 1910, 1855, 1827, 99, 80, 2840};
    for (int row = 7; row < 20; ++row)
        EXPECT_EQ(cell(row), QString::number(expected[row - 7]).rightJustified(6)) << row;
    EXPECT_EQ(cell(22), "  2517");   // rows 20..22 as last read
    EXPECT_EQ(VolumeCoef, 99);
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

// A port click between the read and "Ввод" changes the port only: rows 20..22
// are still the instrument's, not the older values of the configuration.
TEST_F(ServiceWindow, APortClickKeepsTheTableJustRead)
{
    unlock();
    window.Key_InputSel->click();
    window.PortButtons->button(1)->click();
    window.PortButtons->button(0)->click();
    window.Key_DataEdit->click();
    for (int row = 20; row < 23; ++row)
        EXPECT_EQ(cell(row), QString::number(InstrumentTable[row]).rightJustified(6)) << row;
    EXPECT_EQ(SensorNumber, 2517);
    EXPECT_EQ(PortName, "COM1");
    EXPECT_EQ(ReadWholeFile(rig.dir.file(ConfigFileName)).at(0), 1);
}

TEST_F(ServiceWindow, WriteIsRefusedWhileACellIsEmptyOrOutOfRange)
{
    unlock();
    window.Key_WriteData->click();   // right after unlocking column 1 is empty
    ASSERT_EQ(rig.messages.texts().size(), 1);
    EXPECT_TRUE(rig.messages.texts()[0].contains("Алкоголь 0.0"));
    EXPECT_TRUE(rig.frames().empty());

    window.Key_InputSel->click();
    rig.messages.clear();
    setCell(11, "70000");
    window.Key_WriteData->click();
    ASSERT_EQ(rig.messages.texts().size(), 1);
    EXPECT_TRUE(rig.messages.texts()[0].contains("Переход 0.4/0.5"));
    EXPECT_TRUE(rig.messages.texts()[0].contains("65535"));
    EXPECT_EQ(rig.frames().size(), 1u);   // the read only
}

TEST_F(ServiceWindow, AValueStillBeingTypedIsCheckedBeforeAnythingGoesOut)
{
    TSensorF sensor;
    SensorF = &sensor;
    unlock();
    window.Key_InputSel->click();
    const std::vector<QByteArray> read = rig.frames();
    MessageRecorder yes(QMessageBox::Yes);
    struct Case {
        QToolButton *button;
        int row;
        const char *typed;
        const char *named;
    };
    const Case cases[] = {
        {window.Key_WriteData, 11, "70000", "Переход 0.4/0.5"}, {window.Key_WriteData, 0, "", "Алкоголь 0.0"},
        {window.Key_WriteData, 5, "1800z", "Алкоголь 1.0"},     {window.Key_DataEdit, 3, "2200x", "Алкоголь 0.5"},
        {window.Key_SaveData, 17, "70000", "k опред. объема"},  {window.Key_InputFile, 22, "-5", "№ сенсора"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.named);
        const QString before = cell(c.row);
        typeUnconfirmed(c.row, QString::fromLatin1(c.typed));
        c.button->click();
        ASSERT_EQ(yes.texts().size(), 1);
        EXPECT_TRUE(yes.texts()[0].contains(QString::fromUtf8(c.named))) << yes.texts()[0].toStdString();
        EXPECT_EQ(cell(c.row), QString::fromLatin1(c.typed));   // left to be corrected
        yes.clear();
        setCell(c.row, before);
    }
    EXPECT_EQ(rig.frames(), read);
    EXPECT_TRUE(QDir(rig.dir.path()).entryList({"F_*"}).isEmpty());
    EXPECT_FALSE(sensor.isVisible());
    SensorF = nullptr;
}

TEST_F(ServiceWindow, AValueStillBeingTypedIsWhatEveryActionTakes)
{
    TSensorF sensor;
    SensorF = &sensor;
    unlock();
    window.Key_InputSel->click();

    // "Ввод" recomputes from the reading instead of snapping it back.
    typeUnconfirmed(3, "2300");
    window.Key_DataEdit->click();
    EXPECT_EQ(cell(3), "  2300");
    EXPECT_EQ(cell(11), "  2320");

    MessageRecorder yes(QMessageBox::Yes);
    typeUnconfirmed(0, "3100");
    window.Key_WriteData->click();
    EXPECT_EQ(yes.texts().size(), 1);   // the question
    const std::vector<QByteArray> writes = writeFrames();
    ASSERT_EQ(writes.size(), 11u);
    EXPECT_EQ(writes[0].mid(6, 2), Hex("1C 0C"));
    EXPECT_EQ(writes[1].mid(6 + 2, 2), Hex("FC 08"));   // word 3, 2300

    // "В файл" stores under the sensor number being typed, "Файл" opens it.
    typeUnconfirmed(22, "1234");
    window.Key_SaveData->click();
    EXPECT_EQ(QDir(rig.dir.path()).entryList({"F_*"}), QStringList{"F_12.dat"});
    QString opened;
    Once(&window, [&] { return sensor.isVisible() && !sensor.EditNS->text().isEmpty(); }, [&] {
        opened = sensor.EditNS->text();
        sensor.Key_Exit->click();
    });
    typeUnconfirmed(22, "1299");
    window.Key_InputFile->click();
    EXPECT_EQ(opened, "1299");
    EXPECT_EQ(SensorNumber, 1299);
    SensorF = nullptr;
}

TEST_F(ServiceWindow, WriteAsksFirstAndNoWritesNothing)
{
    unlock();
    window.Key_InputSel->click();
    window.Key_WriteData->click();   // the recorder answers OK, which is not Yes
    ASSERT_EQ(rig.messages.messages().size(), 1u);
    const MessageRequest &question = rig.messages.messages()[0];
    EXPECT_EQ(question.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(question.defaultButton, QMessageBox::No);
    EXPECT_TRUE(writeFrames().empty());
}

TEST_F(ServiceWindow, ConfirmedWriteSendsExactlyTheGrid)
{
    unlock();
    window.Key_InputSel->click();
    setCell(0, " 3100");
    setCell(20, "+999");
    setCell(22, "65535");
    MessageRecorder yes(QMessageBox::Yes);
    window.Key_WriteData->click();
    EXPECT_EQ(yes.texts().size(), 1);   // the question, nothing after it

    QByteArray table;
    for (int row = 0; row < 23; ++row) {
        const int word = TypedNumber(cell(row));
        table += char(word & 0xFF);
        table += char(word >> 8);
    }
    const std::vector<QByteArray> writes = writeFrames();
    ASSERT_EQ(writes.size(), 11u);
    for (int k = 0; k < 11; ++k) {
        const int count = k < 10 ? 8 : 6;
        EXPECT_EQ(writes[k].left(6), QByteArray::fromRawData("\x3A", 1) + char(6 + count) + char(5)
                                         + char(4 * k) + char(0) + char(count)) << k;
        EXPECT_EQ(writes[k].mid(6), table.mid(4 * k, count)) << k;
    }
    EXPECT_EQ(table.mid(0, 2), Hex("1C 0C"));
    EXPECT_EQ(table.mid(44, 2), Hex("FF FF"));

    // What the instrument now holds comes back from a new read.
    window.Key_InputSel->click();
    EXPECT_EQ(cell(0), "  3100");
    EXPECT_EQ(cell(20), "   999");
}

TEST_F(SilentInstrument, AFailedWriteIsReportedAsNotWritten)
{
    unlock();
    for (int row = 0; row < 23; ++row)
        setCell(row, QString::number(InstrumentTable[row]));
    MessageRecorder yes(QMessageBox::Yes);
    window.Key_WriteData->click();
    ASSERT_EQ(yes.texts().size(), 3);
    EXPECT_EQ(yes.texts()[1], "Нет связи с прибором");
    EXPECT_TRUE(yes.texts()[2].contains("не записаны"));
}

// ---- Identification marks --------------------------------------------------------

TEST_F(ServiceWindow, MarksAreReadAsHexAndTheInstrumentMarkWritten)
{
    unlock();
    window.Key_InputMetka->click();
    EXPECT_EQ(window.EditE->text(), "074D04B720240315");
    EXPECT_EQ(window.EditZond->text(), "505209D520240228");
    EXPECT_EQ(rig.frames(), (std::vector{Hex("3A 06 01 6E 00 08"), Hex("3A 06 01 78 00 08")}));

    window.EditE->setText("0123456789abcdef");
    window.Key_WriteMetka->click();
    EXPECT_EQ(rig.frames().back(), Hex("3A 0E 05 6E 00 08 01 23 45 67 89 AB CD EF"));
    EXPECT_TRUE(rig.messages.texts().isEmpty());

    window.Key_InputMetka->click();
    EXPECT_EQ(window.EditE->text(), "0123456789ABCDEF");
}

TEST_F(ServiceWindow, AMarkThatIsNotSixteenDigitsIsNotWritten)
{
    unlock();
    for (const QString &text : {QStringLiteral("0123456789abcde"), QStringLiteral("нет данных"),
                                QStringLiteral("0123456789abcdeZ")}) {
        window.EditE->setText(text);
        window.Key_WriteMetka->click();
    }
    EXPECT_EQ(rig.messages.texts().size(), 3);
    EXPECT_TRUE(rig.frames().empty());
}

TEST_F(SilentInstrument, UnreadMarksShowNoData)
{
    unlock();
    window.Key_InputMetka->click();
    EXPECT_EQ(window.EditE->text(), "нет данных");
    EXPECT_EQ(window.EditZond->text(), "нет данных");
}

TEST_F(ServiceWindow, TheBreathVolumeWindowOpensOnTheReadTableAndClosesWithThisWindow)
{
    TDebVolF volume;
    DebVolF = &volume;
    unlock();
    window.key_DebVol->click();
    EXPECT_EQ(rig.frames().front(), Hex("3A 06 01 00 00 2E"));
    EXPECT_TRUE(DebVolActive);
    EXPECT_TRUE(volume.isVisible());
    EXPECT_EQ(volume.parentWidget(), &window);   // not blocked by this modal window
    EXPECT_EQ(Child<QLineEdit>(volume, "edit_kVol")->text(), "120");
    EXPECT_EQ(cell(22), "  2517");

    // No live reading cuts into the window's polling.
    window.LiveViewOn = true;
    const int before = LiveReads(rig.frames());
    ASSERT_TRUE(volume.Polling());
    window.TimerViewTimer();
    EXPECT_EQ(LiveReads(rig.frames()), before);

    window.Key_Exit->click();
    EXPECT_FALSE(volume.isVisible());
    EXPECT_FALSE(volume.HoldsPort(PortName));
    DebVolF = nullptr;
}

TEST(ServiceHandOver, SensorWindowRecordsFillEachWindowsOwnControls)
{
    MessageRecorder messages;
    TDebugF service;
    TSensorF sensor;
    SetGridCell(service.GridS1, 22, 1, QStringLiteral(" 1234x"));
    EXPECT_EQ(service.OpeningForSensorWindow().sensorNumberText, " 1234x");

    SensorHandBack back{.source = QStringLiteral("Прочитано из файла")};
    for (int row = 0; row < 23; ++row)
        back.rows[row] = 100 * row;
    service.TakeSensorHandBack(back);
    EXPECT_EQ(service.GridS1->item(0, 1)->text(), "     0");
    EXPECT_EQ(service.GridS1->item(22, 1)->text(), "  2200");
    EXPECT_EQ(service.LData->text(), back.source);

    // A note the window shows is no note the technician edited.
    sensor.EditText->setText(QStringLiteral("Прибор 7, склад"));
    EXPECT_EQ(sensor.EditedNote(0), std::nullopt);
    EXPECT_TRUE(messages.messages().empty());
}

// ---- Live views --------------------------------------------------------------------

// The live block of the instrument's last reply.
LiveValues LastLiveReply(const ExchangeRig &rig)
{
    const std::vector<QByteArray> replies = rig.instrument->replies();
    const QByteArray &last = replies.back();
    return DecodeLiveValues(reinterpret_cast<const uint8_t *>(last.constData()) + 6);
}

TEST_F(ServiceWindow, LiveViewsFollowEveryTickWithTheirExtremes)
{
    unlock();
    window.Key_StartAlcV->click();
    EXPECT_TRUE(window.TimerView->isActive());
    LiveValues live = LastLiveReply(rig);
    EXPECT_EQ(window.EAlcT->text(), SignalText(live.ethanolSignal));
    EXPECT_EQ(window.EAlcP->text(), TenthsText(live.ethanolTenths));
    EXPECT_TRUE(window.EP->text().isEmpty());   // the start fills its own group only

    int ethanolMin = EmptyMin, ethanolMax = EmptyMax, batMin = EmptyMin, batMax = EmptyMax;
    TakeExtremes(live.ethanolSignal, ethanolMin, ethanolMax);
    for (int tick = 0; tick < 3; ++tick) {
        window.TimerViewTimer();
        live = LastLiveReply(rig);
        TakeExtremes(live.ethanolSignal, ethanolMin, ethanolMax);
        TakeExtremes(live.batSignal, batMin, batMax);
        EXPECT_EQ(window.EAlcT->text(), SignalText(live.ethanolSignal));
        EXPECT_EQ(window.EP->text(), SignalText(live.pressSignal));
        EXPECT_EQ(window.EBat->text(), SignalText(live.batSignal));
        EXPECT_TRUE(window.TimerView->isActive());
    }
    EXPECT_EQ(LiveReads(rig.frames()), 4);
    EXPECT_EQ(window.EAlcMin->text(), MinText(ethanolMin));
    EXPECT_EQ(window.EAlcMax->text(), MaxText(ethanolMax));
    EXPECT_EQ(window.EBatMin->text(), MinText(batMin));
    EXPECT_EQ(window.EBatMax->text(), MaxText(batMax));

    // The pressure start empties its own extremes, not the alcohol ones.
    window.Key_StartViewP->click();
    live = LastLiveReply(rig);
    EXPECT_EQ(window.EMinP->text(), MinText(live.pressSignal));
    EXPECT_EQ(window.EBatMax->text(), MaxText(live.batSignal));
    EXPECT_EQ(window.EAlcMin->text(), MinText(ethanolMin));

    // Stop: the next tick reads nothing and the timer rests.
    window.Key_StopBat->click();
    EXPECT_FALSE(window.TimerView->isActive());
    window.TimerViewTimer();
    EXPECT_EQ(LiveReads(rig.frames()), 5);
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

TEST_F(ServiceWindow, ClosingTheWindowStopsTheObservation)
{
    unlock();
    window.Key_StartViewP->click();
    ASSERT_TRUE(window.TimerView->isActive());
    window.Key_Exit->click();
    EXPECT_FALSE(window.TimerView->isActive());
    EXPECT_FALSE(window.LiveViewOn);
    window.TimerViewTimer();   // a tick already on its way
    EXPECT_EQ(LiveReads(rig.frames()), 1);

    // Hiding (as for the sensor data window) stops it too.
    unlock();
    window.Key_StartAlcV->click();
    window.hide();
    EXPECT_FALSE(window.TimerView->isActive());
    EXPECT_FALSE(window.LiveViewOn);
}

TEST_F(ServiceWindow, ATickWaitsWhileAnotherTransferRuns)
{
    unlock();
    window.Key_StartAlcV->click();
    for (int row = 0; row < 23; ++row)
        setCell(row, QString::number(InstrumentTable[row]));
    bool tickedDuringWrite = false;
    WhenReceived(rig, 3, [&] {
        tickedDuringWrite = true;
        window.TimerViewTimer();
    });
    MessageRecorder yes(QMessageBox::Yes);
    window.Key_WriteData->click();
    ASSERT_TRUE(tickedDuringWrite);
    EXPECT_EQ(writeFrames().size(), 11u);
    EXPECT_EQ(LiveReads(rig.frames()), 1);   // the start's read only
    EXPECT_TRUE(window.TimerView->isActive());
    EXPECT_EQ(yes.texts().size(), 1);
}

TEST_F(ServiceWindow, AFailedReadShowsXxxxEverywhereAndKeepsTheExtremes)
{
    unlock();
    window.Key_StartViewP->click();
    window.TimerViewTimer();
    const QString pressMin = window.EMinP->text();
    const QString batMax = window.EBatMax->text();
    const QString alcoholMax = window.EAlcMax->text();
    ASSERT_FALSE(pressMin.isEmpty());

    // The port turns out not to be a serial device.
    rig.instrument->stop();
    QFile::remove(rig.dir.file("COM1"));
    ASSERT_TRUE(WriteWholeFile(rig.dir.file("COM1"), "not a port"));
    window.TimerViewTimer();
    EXPECT_EQ(window.EAlcT->text(), "XXXX");
    EXPECT_EQ(window.EAlcP->text(), "X.X");
    EXPECT_EQ(window.EP->text(), "XXXX");
    EXPECT_EQ(window.EBat->text(), "XXXX");
    EXPECT_EQ(window.EMinP->text(), pressMin);
    EXPECT_EQ(window.EBatMax->text(), batMax);
    EXPECT_EQ(window.EAlcMax->text(), alcoholMax);
    EXPECT_TRUE(window.TimerView->isActive());   // observation goes on
}

TEST_F(SilentInstrument, WithoutAnInstrumentThePressureStartShowsXxxx)
{
    unlock();
    window.Key_StartViewP->click();
    EXPECT_EQ(window.EP->text(), "XXXX");
    EXPECT_EQ(window.EAlcT->text(), "XXXX");
    EXPECT_TRUE(window.EMinP->text().isEmpty());
    EXPECT_EQ(rig.messages.texts(), QStringList{"Нет связи с прибором"});
}

// ---- The last measurement's curve --------------------------------------------------

TEST_F(ServiceWindow, TheLastCurveIsReadAndShown)
{
    unlock();
    window.Key_GrafAlc->click();   // nothing read yet: said so, no window
    EXPECT_EQ(rig.messages.texts().size(), 1);
    EXPECT_FALSE(window.GrafF && window.GrafF->isVisible());

    window.LastCurveAux1.fill(7);
    window.Key_InputGrafP->click();
    EXPECT_EQ(rig.frames().back(), Hex("3A 06 02 00 03 F0"));
    EXPECT_EQ(window.LastCurve[0], 1200);
    EXPECT_EQ(window.LastCurveAux1[0], 0);
    window.Key_ViewGrafP->click();
    ASSERT_TRUE(window.GrafF);
    EXPECT_TRUE(window.GrafF->isVisible());
    EXPECT_EQ(window.GrafF->Curve(), window.LastCurve);

    // A new read refreshes the open plot; closing the window closes it.
    window.Key_InputGrafAlc->click();
    EXPECT_EQ(rig.frames().back(), Hex("3A 06 02 00 02 F0"));
    EXPECT_EQ(window.GrafF->Curve(), window.LastCurve);
    EXPECT_NE(window.LastCurve[0], 1200);
    window.Key_Exit->click();
    EXPECT_FALSE(window.GrafF->isVisible());
}

} // namespace
