// The instrument panel: opening, connecting and showing the identification
// and the sensor table, and the link test with its two bars.

#include "ExchangeRig.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "panel/Pribor.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"

#include <QLabel>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Sensor table words: 0 is 0, 1 is 0xFFFF, 21 is 1234, 22 is 56, others 100 + k.
QByteArray SensorMemory()
{
    QByteArray table;
    for (int word = 0; word < 23; ++word) {
        const int value = word == 0 ? 0 : word == 1 ? 0xFFFF : word == 21 ? 1234 : word == 22 ? 56 : 100 + word;
        table += char(value & 0xFF);
        table += char(value >> 8);
    }
    return MemoryWith(0, table);
}

class PanelConnect : public ::testing::Test {
protected:
    explicit PanelConnect(const RigSetup &setup = {.memory = SensorMemory()}) : rig(setup)
    {
        PriborF = &panel;
    }
    ~PanelConnect() override { PriborF = nullptr; }

    void SetUp() override { ASSERT_TRUE(rig.ready()); }

    void open(bool connect, bool sensor, bool linkTest, bool clock)
    {
        panel.AutoConnect = connect;
        panel.AutoSensor = sensor;
        panel.AutoLinkTest = linkTest;
        panel.AutoClock = clock;
        panel.FormActivate();
    }

    QString value(int row) const
    {
        const QTableWidgetItem *item = panel.GridS1->item(row, 1);
        return item ? item->text() : QString();
    }

    ExchangeRig rig;
    TPriborF panel;
};

class PanelWithoutInstrument : public PanelConnect {
protected:
    PanelWithoutInstrument() : PanelConnect({.flags = {"--silent"}}) {}
};

class PanelWithWrongEchoes : public PanelConnect {
protected:
    PanelWithWrongEchoes() : PanelConnect({.flags = {"--wrong-echo", "100"}, .memory = SensorMemory()}) {}
};

TEST_F(PanelConnect, OpeningFromTheToolButtonMakesNoExchange)
{
    panel.LNum->setText("old");
    open(false, false, false, false);
    EXPECT_TRUE(rig.frames().empty());
    EXPECT_TRUE(panel.LVer->text().isEmpty());
    EXPECT_TRUE(panel.LNum->text().isEmpty());
    EXPECT_TRUE(panel.LSensor->text().isEmpty());
    ASSERT_EQ(panel.GridS1->rowCount(), 23);
    for (int row = 0; row < 23; ++row) {
        EXPECT_EQ(panel.GridS1->item(row, 0)->text(), InstrumentWordLabels[row]);
        EXPECT_TRUE(value(row).isEmpty()) << row;
    }
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

TEST_F(PanelConnect, ConnectingShowsTheNumbersRightAlignedInSix)
{
    panel.PageControl->setCurrentIndex(TPriborF::PageMemory);
    open(true, false, false, false);
    EXPECT_EQ(rig.frames(), std::vector{Hex("3A 06 01 00 00 2E")});
    EXPECT_EQ(panel.PageControl->currentIndex(), int(TPriborF::PageSensor));
    EXPECT_EQ(panel.LNum->text(), "  1234");
    EXPECT_EQ(panel.LSensor->text(), "    56");
    EXPECT_EQ(InstrumentNumber, 1234);
    EXPECT_TRUE(InstrumentNumberKnown);   // printed pages name it from now on
    EXPECT_EQ(SensorNumber, 56);
    EXPECT_EQ(value(0), "     0");
    EXPECT_EQ(value(1), " 65535");
    EXPECT_EQ(value(17), "   117");
    EXPECT_EQ(value(21), "  1234");
    EXPECT_TRUE(panel.LVer->text().isEmpty());

    // "Сенсор" does the same; a new opening first empties what was shown.
    SensorTable.fill(0);
    open(false, true, false, false);
    EXPECT_EQ(rig.frames().size(), 2u);
    EXPECT_EQ(value(22), "    56");
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

TEST_F(PanelConnect, AFailedReadShowsNoDataAndKeepsTheGrid)
{
    panel.Key_On->click();
    ASSERT_EQ(panel.LNum->text(), "  1234");

    // The port turns out not to be a serial device.
    rig.instrument->stop();
    QFile::remove(rig.dir.file("COM1"));
    ASSERT_TRUE(WriteWholeFile(rig.dir.file("COM1"), "not a port"));
    panel.Key_On->click();
    EXPECT_EQ(panel.LNum->text(), "нет данных");
    EXPECT_EQ(panel.LSensor->text(), "нет данных");
    EXPECT_EQ(value(21), "  1234");
    ASSERT_EQ(rig.messages.texts().size(), 1);
    EXPECT_TRUE(rig.messages.texts().first().startsWith("File handle is not a comm handle \n\n"));
}

TEST_F(PanelWithoutInstrument, NoAnswerShowsNoData)
{
    open(true, false, false, false);
    EXPECT_EQ(panel.LNum->text(), "нет данных");
    EXPECT_EQ(panel.LSensor->text(), "нет данных");
    EXPECT_TRUE(value(21).isEmpty());
    EXPECT_EQ(rig.messages.texts(), QStringList{"Нет связи с прибором"});
}

TEST_F(PanelWithWrongEchoes, WrongEchoesAreNoIdentification)
{
    const QByteArray config = ReadWholeFile(rig.dir.file("orbisk_m.cnf"));
    const int sensorNumber = SensorNumber;
    const int instrumentNumber = InstrumentNumber;
    open(true, false, false, false);
    EXPECT_EQ(panel.LNum->text(), "нет данных");
    EXPECT_EQ(panel.LSensor->text(), "нет данных");
    EXPECT_EQ(SensorNumber, sensorNumber);
    EXPECT_EQ(InstrumentNumber, instrumentNumber);
    EXPECT_FALSE(InstrumentNumberKnown);
    EXPECT_TRUE(value(21).isEmpty());
    EXPECT_EQ(rig.messages.texts(), QStringList{"Нет связи с прибором"});
    EXPECT_EQ(ReadWholeFile(rig.dir.file("orbisk_m.cnf")), config);
}

TEST_F(PanelConnect, LinkTestCountsAnswersOnTheUpperBar)
{
    WhenReceived(rig, 5, [this] { rig.window->Key_Stop->click(); });
    panel.TestProgres->setValue(40);
    panel.Key_Test->click();
    const int probes = static_cast<int>(rig.frames().size());
    EXPECT_EQ(rig.frames(), std::vector<QByteArray>(probes, Hex("3A 06 01 15 00 02")));
    // Every answer moves the bar by 2, and the end of the test once more.
    EXPECT_EQ(panel.TestProgres->value(), 2 * probes + 2);
    EXPECT_EQ(panel.TestProgresN->value(), 0);
    EXPECT_FALSE(PanelLinkTest);
}

TEST_F(PanelWithoutInstrument, LinkTestMovesOnlyTheLowerBarEachSecond)
{
    std::vector<int> upper, lower;
    QObject::connect(panel.TestProgres, &QProgressBar::valueChanged, [&upper](int v) { upper.push_back(v); });
    QObject::connect(panel.TestProgresN, &QProgressBar::valueChanged, [&lower](int v) { lower.push_back(v); });
    WhenReceived(rig, 3, [this] { rig.window->Key_Stop->click(); });
    open(false, false, true, false);

    // A probe and two resends before the stop; the third silent second
    // moves the bar once more and ends the test, which found no link.
    EXPECT_EQ(lower, (std::vector{2, 4, 6}));
    EXPECT_TRUE(upper.empty());
    EXPECT_EQ(rig.frames().size(), 3u);
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

TEST_F(PanelWithoutInstrument, LinkTestBarsWrapAbove98)
{
    std::vector<int> lower;
    panel.TestProgresN->setValue(96);
    QObject::connect(panel.TestProgresN, &QProgressBar::valueChanged, [&lower](int v) { lower.push_back(v); });
    WhenReceived(rig, 4, [this] { rig.window->Key_Exit->click(); });
    panel.RunLinkTest();
    EXPECT_TRUE(NoLink);
    EXPECT_EQ(lower, (std::vector{98, 100, 0}));
}

} // namespace
