#include "panel/SensorGrid.h"
#include "sensor/OrbSUSen.h"
#include "sensor/SensorEdit.h"
#include "service/Debug.h"
#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"

#include "SensorSamples.h"
#include "WorkDir.h"
#include "shell/Message.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <gtest/gtest.h>

namespace {

TEST(SensorEditRules, ClosingMapOfARecord)
{
    SensorWordArray words{};
    std::copy(ExampleWords.begin(), ExampleWords.end(), words.begin());
    const std::array<int, SensorTableRows> expected = {
        3000, 2000, 1800, 1500, 1400, 1000, 500,                        // levels, 2.0 reading
        2200, 1860, 1674, 1583, 1520, 1430, 1260, 1137, 1068, 1035,     // thresholds
        75,   33,   2200, 1,    5,    1234};
    EXPECT_EQ(SensorTableFromRecord(words, ExampleMixtures, 75, 1234), expected);
    EXPECT_EQ(SensorTableFromRecord(words, ExampleMixtures, 0, 1234)[17], 100);
}

TEST(SensorEditRules, ReadingsNumbersAndCode)
{
    const MixtureArray fifty = {3000, 2000, 1800, 1500, 1400, 1000, 50};
    const MixtureArray fortyNine = {3000, 2000, 1800, 49, 1400, 1000, 500};
    EXPECT_EQ(PlusOneMixtures(fifty), fifty);
    EXPECT_EQ(PlusOneMixtures(fortyNine), ExampleMixtures);

    EXPECT_EQ(ShiftedMixtures(ExampleMixtures, -100),
              (MixtureArray{2900, 1900, 1700, 1400, 1300, 900, 400}));
    EXPECT_EQ(ShiftedMixtures({2147483600, 0, 0, 0, 0, 0, 0}, 100)[0], 2147483647);

    EXPECT_EQ(SteppedSensorNumber(0, -1), 0);
    EXPECT_EQ(SteppedSensorNumber(2147483647, 1), 2147483648);

    EXPECT_TRUE(IsAccessCode(QStringLiteral(" 471906")));
    EXPECT_FALSE(IsAccessCode(QStringLiteral("471907")));
    EXPECT_FALSE(IsAccessCode(QStringLiteral("4719060")));
}

class SensorEditor : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDataModel();
        ResetSensorBase();
        DebugF = new TDebugF;
        SensorF = new TSensorF;
    }
    void TearDown() override
    {
        delete SensorF;
        delete DebugF;
        SensorF = nullptr;
        DebugF = nullptr;
        ResetDataModel();
        ResetSensorBase();
    }

    // A file for sensors 0..99 holding the example record for sensor 5.
    void PutFileWithSensor5() const
    {
        ResetSensorBase();
        SensorBaseImage = PatternSensorFile();
        SensorNumber = 5;
        SelectSensorRecord(5);
        MixtureValues = ExampleMixtures;
        DeriveSensorWords();
        CompleteSensorWords();
        SensorTable[17] = 80;
        SensorNote = "Sensor 5";
        PackSensorRecord();
        ASSERT_TRUE(WriteWholeFile(work.file("F_00.dat"), SensorBaseImage));
        ResetSensorBase();
        ResetDataModel();
    }

    // What the service window's "Файл" does before the window opens, then
    // the opening with its activation.
    void Open(const QString &sensorCell, const MixtureArray &readings = ExampleMixtures)
    {
        DebugF->GridS1->item(22, 1)->setText(sensorCell);
        DataEntryEnabled = true;
        MixtureValues = readings;
        SensorF->show();
        QCoreApplication::sendPostedEvents(SensorF, QEvent::MetaCall);
    }

    QString Cell(QTableWidget *grid, int row) const { return grid->item(row, 1)->text(); }
    void TypeNumber(const QString &text, bool finish = true)
    {
        SensorF->EditNS->clear();
        QTest::keyClicks(SensorF->EditNS, text);
        if (finish)
            QTest::keyClick(SensorF->EditNS, Qt::Key_Return);
    }
    QStringList SensorFiles() const
    {
        return QDir(work.path()).entryList({QStringLiteral("F_*")}, QDir::Files | QDir::Dirs);
    }

    ScopedWorkDir work;
    MessageRecorder messages;
};

TEST_F(SensorEditor, OpenedFromTheServiceWindowAndHandedBack)
{
    PutFileWithSensor5();
    Report(SaveConfig());   // the service window loads it when it opens
    bool shownAlone = false;
    bool serviceBack = false;
    bool serviceClosedByUs = false;

    // The service window runs modally, opens this window from its "Файл"
    // and must still be running modally once this window has closed.
    QTimer::singleShot(0, DebugF, [&] {
        // The service window's opening empties its grid; then the table.
        QCoreApplication::sendPostedEvents(DebugF, QEvent::MetaCall);
        DebugF->GridS1->item(17, 1)->setText(QStringLiteral("    60"));
        DebugF->GridS1->item(22, 1)->setText(QStringLiteral("     5"));
        QTimer::singleShot(0, SensorF, [&] {
            QCoreApplication::sendPostedEvents(SensorF, QEvent::MetaCall);
            shownAlone = SensorF->isVisible() && !DebugF->isVisible();
            EXPECT_EQ(SensorF->EditNS->text(), "   5");
            EXPECT_EQ(Cell(SensorF->GridS, 24), "   985");
            EXPECT_EQ(Cell(SensorF->GridBaza, 6), "   500");
            EXPECT_EQ(SensorF->EditText->text(), "Sensor 5" + QString(32, ' '));
            EXPECT_EQ(SensorF->edit_17->text(), "80");
            EXPECT_TRUE(SensorF->Key_Plus1->isVisible());
            QTest::mouseClick(SensorF->Key_Exit, Qt::LeftButton);
        });
        DataEntryEnabled = true;
        SensorF->exec();
        serviceBack = DebugF->isVisible();
        QTimer::singleShot(0, DebugF, [&] {
            serviceClosedByUs = true;
            DebugF->accept();
        });
    });
    DebugF->exec();

    EXPECT_TRUE(shownAlone);
    EXPECT_TRUE(serviceBack);
    EXPECT_TRUE(serviceClosedByUs);
    EXPECT_TRUE(messages.messages().empty()) << messages.texts().join('\n').toStdString();

    EXPECT_EQ(DebugF->LData->text(), "Прочитано из файла");
    EXPECT_FALSE(DebugF->PanelDebug->isHidden());
    EXPECT_TRUE(DebugF->PanelPW->isHidden());
    const std::array<int, 23> rows = {3000, 2000, 1800, 1500, 1400, 1000, 500, 2200,
                                      1860, 1674, 1583, 1520, 1430, 1260, 1137, 1068,
                                      1035, 80,   33,   2200, 1,    5,    5};
    for (int row = 0; row < 23; ++row)
        EXPECT_EQ(Cell(DebugF->GridS1, row), RightAligned(rows[row])) << row;
    EXPECT_EQ(ReadWholeFile(work.file("F_00.dat")).mid(5 * 200 + 148, 2).toHex(), "0050");
    ResetDataModel();
    Report(LoadConfig());
    EXPECT_EQ(SensorNumber, 5);
    EXPECT_EQ(SensorTable[18], 33);
}

TEST_F(SensorEditor, WordsTheSensorTableCannotHoldAreNotHandedBack)
{
    // A coefficient typed too large, and readings that rise with the alcohol
    // (which makes the extrapolation step negative).
    struct Case {
        const char *coefficient;
        MixtureArray readings;
        const char *row;
    };
    const Case cases[] = {{"70000", ExampleMixtures, "строка 17 «k опред. объема» = 70000"},
                          {"80", {500, 1000, 1400, 1500, 1800, 2000, 3000}, "строка 18 «Экстрополяция» = -33"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.row);
        PutFileWithSensor5();
        VolumeCoef = SensorTable[17] = 120;
        for (int row = 0; row < 23; ++row)
            SetGridCell(DebugF->GridS1, row, 1, RightAligned(1111));
        DebugF->LData->setText(QStringLiteral("Прочитано из прибора"));
        const auto table = SensorTable;
        Open(QStringLiteral("5"));

        for (int i = 0; i < MixtureCount; ++i)
            SensorF->GridBaza->item(i, 1)->setText(QString::number(c.readings[i]));
        QTest::mouseClick(SensorF->Key_DataEdit, Qt::LeftButton);
        SensorF->edit_17->clear();
        QTest::keyClicks(SensorF->edit_17, QString::fromLatin1(c.coefficient));
        const QByteArray config = ReadWholeFile(work.file(ConfigFileName));
        ASSERT_TRUE(messages.messages().empty()) << messages.texts().join('\n').toStdString();
        QTest::mouseClick(SensorF->Key_Exit, Qt::LeftButton);

        ASSERT_EQ(messages.texts().size(), 1);
        EXPECT_TRUE(messages.texts()[0].contains(QString::fromUtf8(c.row))) << messages.texts()[0].toStdString();
        EXPECT_EQ(ReadWholeFile(work.file(ConfigFileName)), config);
        EXPECT_EQ(SensorTable, table);
        EXPECT_EQ(VolumeCoef, 120);
        EXPECT_EQ(Cell(DebugF->GridS1, 17), "  1111");
        EXPECT_EQ(DebugF->LData->text(), "Прочитано из прибора");
        EXPECT_TRUE(DebugF->isVisible());
        DebugF->hide();
        messages.clear();
    }

    // Nor does the configuration file take a word it would have to cut; the
    // port chosen meanwhile is saved all the same.
    const int port = PortNumber;
    for (const auto &[word, value] : {std::pair{18, -5}, std::pair{25, 65536}, std::pair{17, 70000}}) {
        const QByteArray config = ReadWholeFile(work.file(ConfigFileName));
        const auto table = SensorTable;
        SensorTable[word] = value;
        if (word == 17)
            VolumeCoef = value;
        PortNumber = port % 9 + 1;
        EXPECT_FALSE(Report(SaveConfig())) << word;
        ASSERT_EQ(messages.texts().size(), 1);
        EXPECT_TRUE(messages.texts()[0].contains(QStringLiteral("слово %1").arg(word))) << word;
        const QByteArray saved = ReadWholeFile(work.file(ConfigFileName));
        ASSERT_EQ(saved.size(), config.size());
        EXPECT_EQ(saved[0], char(PortNumber));
        EXPECT_EQ(saved.mid(8 + 2 * word, 2), config.mid(8 + 2 * word, 2)) << word;
        SensorTable = table;
        VolumeCoef = table[17];
        PortNumber = port;
        messages.clear();
    }
    EXPECT_TRUE(Report(SaveConfig()));
}

TEST_F(SensorEditor, SensorWithoutDataGetsTheHandedReadings)
{
    Open(QStringLiteral("  1234"), {3100, 2100, 1900, 1600, 1500, 1100, 600});
    EXPECT_EQ(messages.texts(), QStringList{"Файл F_12.dat  не найден."});
    EXPECT_EQ(Cell(SensorF->GridS, 0), "  3100");
    EXPECT_EQ(Cell(SensorF->GridS, 27), "  1234");

    ResetSensorBase();
    ASSERT_TRUE(LoadSensorBase(1234));
    UnpackSensorRecord();
    EXPECT_EQ(MixtureValues, (MixtureArray{3100, 2100, 1900, 1600, 1500, 1100, 600}));
    EXPECT_EQ(SensorWords[31], 1234);
    EXPECT_EQ(SensorFiles(), QStringList{"F_12.dat"});
}

// A file that cannot be read whole holds no record of the sensor: the
// window shows none, offers nothing to derive from it, and closing hands
// nothing back, however the window came to that sensor.
TEST_F(SensorEditor, ADamagedFileHandsNothingBack)
{
    const std::function<void()> ways[] = {
        [this] { Open(QStringLiteral("105")); },
        [this] { Open(QStringLiteral("5")); TypeNumber(QStringLiteral("105")); },
        [this] { Open(QStringLiteral("99")); QTest::mouseClick(SensorF->Key_Plus, Qt::LeftButton); },
    };
    for (std::size_t way = 0; way < std::size(ways); ++way) {
        SCOPED_TRACE(way);
        PutFileWithSensor5();
        const QByteArray damaged = PatternSensorFile().left(1000);
        ASSERT_TRUE(WriteWholeFile(work.file("F_01.dat"), damaged));
        // The instrument's table in the grid and in the configuration.
        for (int row = 0; row < SensorTableRows; ++row) {
            SensorTable[row] = 1000 + row;
            SetGridCell(DebugF->GridS1, row, 1, RightAligned(SensorTable[row]));
        }
        SensorNumber = 777;
        VolumeCoef = SensorTable[17];
        ASSERT_TRUE(Report(SaveConfig()));
        DebugF->LData->setText(QStringLiteral("Прочитано из прибора"));
        const auto table = SensorTable;
        const QByteArray config = ReadWholeFile(work.file(ConfigFileName));

        ways[way]();
        const QStringList cells = DebugF->TableCells();
        ASSERT_FALSE(messages.texts().filter(QStringLiteral("F_01.dat")).isEmpty());
        EXPECT_EQ(Cell(SensorF->GridS, 0), "");
        EXPECT_EQ(Cell(SensorF->GridBaza, 0), "");
        EXPECT_EQ(SensorF->EditText->text(), "");
        for (QPushButton *button : {SensorF->Key_DataEdit, SensorF->Key_Plus1, SensorF->key_DelPl})
            EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
        QTest::mouseClick(SensorF->Key_Exit, Qt::LeftButton);

        EXPECT_EQ(DebugF->TableCells(), cells);
        EXPECT_EQ(DebugF->LData->text(), "Прочитано из прибора");
        EXPECT_EQ(SensorTable, table);
        EXPECT_EQ(SensorNumber, 777);
        EXPECT_EQ(ReadWholeFile(work.file(ConfigFileName)), config);
        EXPECT_EQ(ReadWholeFile(work.file("F_01.dat")), damaged);
        DebugF->hide();
        messages.clear();
    }
}

TEST_F(SensorEditor, NumberIsTakenWhenTyped)
{
    Open(QStringLiteral("5000"));
    messages.clear();

    TypeNumber(QStringLiteral("1234"), false);
    EXPECT_TRUE(messages.messages().empty());
    EXPECT_EQ(SensorFiles(), QStringList{"F_50.dat"});
    QTest::keyClick(SensorF->EditNS, Qt::Key_Return);
    EXPECT_EQ(messages.texts(), QStringList{"Файл F_12.dat  не найден."});
    EXPECT_EQ(SensorFiles(), (QStringList{"F_12.dat", "F_50.dat"}));
    EXPECT_EQ(SensorNumber, 1234);
    EXPECT_EQ(SensorF->EditNS->text(), "1234");
    messages.clear();

    // Outside 0..65535: refused, the sensor stays.
    for (const char *typed : {"471906", "-5", "65536"}) {
        TypeNumber(QString::fromLatin1(typed));
        EXPECT_EQ(messages.messages().size(), 1u) << typed;
        EXPECT_EQ(SensorF->EditNS->text(), "1234") << typed;
        messages.clear();
    }
    EXPECT_EQ(SensorNumber, 1234);
    EXPECT_EQ(SensorFiles(), (QStringList{"F_12.dat", "F_50.dat"}));
    ResetDataModel();
    Report(LoadConfig());
    EXPECT_EQ(SensorNumber, 1234);
}

TEST_F(SensorEditor, StepsStopAtTheEnds)
{
    Open(QStringLiteral("65535"));
    messages.clear();
    QTest::mouseClick(SensorF->Key_Plus, Qt::LeftButton);
    EXPECT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(SensorNumber, 65535);
    EXPECT_EQ(SensorF->EditNS->text(), "65535");
    messages.clear();

    PutFileWithSensor5();
    SensorF->EditNS->setText(QStringLiteral("6"));
    QTest::mouseClick(SensorF->Key_Minus, Qt::LeftButton);
    EXPECT_EQ(SensorF->EditNS->text(), "5");
    EXPECT_EQ(Cell(SensorF->GridS, 0), "  3000");

    // At 0 "-1" stays and loads sensor 0 again.
    SensorF->EditNS->setText(QStringLiteral("0"));
    QTest::mouseClick(SensorF->Key_Minus, Qt::LeftButton);
    const QByteArray file = PatternSensorFile();
    EXPECT_EQ(SensorNumber, 0);
    EXPECT_EQ(Cell(SensorF->GridS, 0), RightAligned(uint8_t(file[0]) * 256 + uint8_t(file[1])));
    QByteArray changed = file;
    changed[0] = 0x12;
    changed[1] = 0x34;
    ASSERT_TRUE(WriteWholeFile(work.file("F_00.dat"), changed));
    QTest::mouseClick(SensorF->Key_Minus, Qt::LeftButton);
    EXPECT_EQ(SensorF->EditNS->text(), "0");
    EXPECT_EQ(Cell(SensorF->GridS, 0), "  4660");

    QTest::mouseClick(SensorF->Key_Plus, Qt::LeftButton);
    EXPECT_EQ(SensorF->EditNS->text(), "   1");
    EXPECT_TRUE(messages.messages().empty()) << messages.texts().join('\n').toStdString();
}

TEST_F(SensorEditor, AccessCodeOnTheVersionLabel)
{
    Open(QStringLiteral("42"));
    const QStringList files = SensorFiles();
    for (const auto &[typed, shown] : {std::pair{"471906", true}, std::pair{"471907", false},
                                       std::pair{"471906", true}, std::pair{"42", false}}) {
        TypeNumber(QString::fromLatin1(typed), false);
        QTest::mouseClick(SensorF->L_Ver, Qt::LeftButton);
        EXPECT_EQ(SensorF->Key_Plus1->isVisible(), shown) << typed;
        EXPECT_EQ(SensorF->Key_NewV->isEnabled(), shown) << typed;
        EXPECT_EQ(SensorF->EditNS->text(), "  42") << typed;
    }
    // Leaving the field afterwards loads nothing.
    QTest::keyClick(SensorF->EditNS, Qt::Key_Return);
    EXPECT_EQ(SensorNumber, 42);
    EXPECT_EQ(SensorFiles(), files);
}

TEST_F(SensorEditor, ShiftsAndEntry)
{
    PutFileWithSensor5();
    Open(QStringLiteral("5"));
    const QByteArray original = ReadWholeFile(work.file("F_00.dat"));

    // "+" moves the readings and the words shown, the file stays.
    QTest::mouseClick(SensorF->key_DelPl, Qt::LeftButton);
    EXPECT_EQ(Cell(SensorF->GridBaza, 0), "  3100");
    EXPECT_EQ(Cell(SensorF->GridS, 24), "  1085");
    EXPECT_EQ(ReadWholeFile(work.file("F_00.dat")), original);

    // A shift below 0 is refused and changes nothing.
    SensorF->txt_PlMinus->setText(QStringLiteral("3000"));
    const QByteArray image = SensorBaseImage;
    QTest::mouseClick(SensorF->key_DelMi, Qt::LeftButton);
    EXPECT_EQ(messages.messages().size(), 1u);
    EXPECT_EQ(Cell(SensorF->GridBaza, 6), "   600");
    EXPECT_EQ(Cell(SensorF->GridS, 24), "  1085");
    EXPECT_EQ(SensorBaseImage, image);

    // "Ввод" stores the typed readings, note and coefficient.
    const MixtureArray typed = {3200, 2200, 2000, 1700, 1600, 1200, 700};
    for (int i = 0; i < MixtureCount; ++i)
        SensorF->GridBaza->item(i, 1)->setText(QString::number(typed[i]));
    SensorF->EditText->setText(QStringLiteral("Прибор 17, склад ✓"));
    SensorF->edit_17->clear();
    QTest::keyClicks(SensorF->edit_17, QStringLiteral("90"));
    QTest::mouseClick(SensorF->Key_DataEdit, Qt::LeftButton);
    EXPECT_EQ(Cell(SensorF->GridS, 0), "  3200");

    const QByteArray file = ReadWholeFile(work.file("F_00.dat"));
    EXPECT_EQ(file.left(5 * 200), original.left(5 * 200));
    EXPECT_EQ(file.mid(6 * 200), original.mid(6 * 200));
    EXPECT_EQ(file.mid(5 * 200 + 142, 6), original.mid(5 * 200 + 142, 6));
    EXPECT_EQ(file.mid(5 * 200 + 190, 10), original.mid(5 * 200 + 190, 10));
    ResetSensorBase();
    ASSERT_TRUE(LoadSensorBase(5));
    UnpackSensorRecord();
    EXPECT_EQ(MixtureValues, typed);
    EXPECT_EQ(SensorWords[24], 1185);
    EXPECT_EQ(VolumeCoef, 90);
    EXPECT_EQ(FromCp1251(SensorNote).trimmed(), "Прибор 17, склад ?");

    // "Плюс 1" with a reading below 50 stores the default readings.
    SensorF->GridBaza->item(3, 1)->setText(QStringLiteral("49"));
    QTest::mouseClick(SensorF->Key_Plus1, Qt::LeftButton);
    ResetSensorBase();
    ASSERT_TRUE(LoadSensorBase(5));
    UnpackSensorRecord();
    EXPECT_EQ(MixtureValues, ExampleMixtures);
    EXPECT_EQ(messages.messages().size(), 1u);
}

} // namespace
