// "В файл" of the service window: the sensor table read from the instrument
// stored as the sensor's record in the sensor database, the other records of
// its file kept as they were.

#include "ExchangeRig.h"

#include "sensor/OrbSUSen.h"
#include "sensor/SensorBase.h"
#include "service/Debug.h"
#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// The virtual instrument's sensor 2517: record 17 of F_25.dat.
constexpr int RecordStart = 17 * SensorRecordSize;

int WordAt(const QByteArray &bytes, int offset)
{
    return uint8_t(bytes[offset]) * 256 + uint8_t(bytes[offset + 1]);
}

QByteArray PatternFile()
{
    QByteArray file(SensorFileSize, '\0');
    for (int i = 0; i < SensorFileSize; ++i)
        file[i] = char((i * 7 + i / 200) & 0xFF);
    return file;
}

class ServiceStore : public ::testing::Test {
protected:
    ServiceStore()
    {
        DebugF = &window;
        SensorF = &sensor;
        ResetSensorBase();
    }
    ~ServiceStore() override
    {
        SensorF = nullptr;
        DebugF = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(rig.ready());
        window.show();
        QCoreApplication::processEvents();
        for (QChar c : QStringLiteral("583729"))
            QTest::keyClick(window.EditPW, c.toLatin1());
        window.Key_InputSel->click();
        ASSERT_EQ(window.GridS1->item(22, 1)->text(), "  2517");
    }

    void setCell(int row, const QString &text) { window.GridS1->item(row, 1)->setText(text); }

    ExchangeRig rig;
    TDebugF window;
    TSensorF sensor;
};

TEST_F(ServiceStore, TheRecordIsStoredAndTheOtherRecordsKeptByteForByte)
{
    const QByteArray before = PatternFile();
    ASSERT_TRUE(WriteWholeFile(rig.dir.file("F_25.dat"), before));
    setCell(17, "77");
    window.Key_SaveData->click();
    EXPECT_TRUE(rig.messages.texts().isEmpty()) << rig.messages.texts().join('\n').toStdString();

    const QByteArray after = ReadWholeFile(rig.dir.file("F_25.dat"));
    ASSERT_EQ(after.size(), SensorFileSize);
    EXPECT_EQ(after.left(RecordStart), before.left(RecordStart));
    EXPECT_EQ(after.mid(RecordStart + SensorRecordSize), before.mid(RecordStart + SensorRecordSize));
    const QByteArray record = after.mid(RecordStart, SensorRecordSize);
    EXPECT_EQ(record.mid(142, 6), before.mid(RecordStart + 142, 6));
    EXPECT_EQ(record.mid(190, 10), before.mid(RecordStart + 190, 10));

    // The readings as mixtures, the levels derived from them, the typed
    // volume coefficient, the numbers; the note as the file held it.
    const int readings[] = {3000, 2800, 2600, 2200, 2100, 1800, 1000};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(WordAt(record, 128 + 2 * i), readings[i]) << i;
    EXPECT_EQ(WordAt(record, 0), 3000);
    EXPECT_EQ(WordAt(record, 2 * 10), 1800);   // level 1.0
    EXPECT_EQ(WordAt(record, 2 * 31), 2517);
    EXPECT_EQ(WordAt(record, 148), 77);
    QByteArray note = before.mid(RecordStart + 150, 40);
    std::replace_if(note.begin(), note.end(), [](char c) { return uint8_t(c) < 0x20; }, ' ');
    EXPECT_EQ(record.mid(150, 40), note);

    // The configuration keeps the sensor number and the coefficient.
    const QByteArray config = ReadWholeFile(rig.dir.file(ConfigFileName));
    EXPECT_EQ(WordAt(config, 1), 2517);
    EXPECT_EQ(WordAt(config, 8 + 2 * 17), 77);
    EXPECT_EQ(SensorNumber, 2517);
}

// The note stored is the one the file holds for the sensor, unless the
// technician edited it in the sensor data window on that same sensor.
TEST_F(ServiceStore, TheNoteIsTheStoredOneUnlessEditedOnThisSensor)
{
    ASSERT_TRUE(WriteWholeFile(rig.dir.file("F_25.dat"), QByteArray(SensorFileSize, '\0')));
    const auto storedNote = [this] {
        return FromCp1251(ReadWholeFile(rig.dir.file("F_25.dat")).mid(RecordStart + 150, 40)).trimmed();
    };
    const auto noteInSensorWindow = [this](const char *number, const QString &note) {
        sensor.EditNS->clear();
        QTest::keyClicks(sensor.EditNS, QString::fromLatin1(number));
        QTest::keyClick(sensor.EditNS, Qt::Key_Return);
        sensor.EditText->clear();
        QTest::keyClicks(sensor.EditText, note);
    };
    setCell(22, "2518");
    sensor.show();
    QCoreApplication::sendPostedEvents(&sensor, QEvent::MetaCall);
    setCell(22, "2517");

    const QString owner = QStringLiteral("Owner: workshop 3");
    noteInSensorWindow("2517", owner);
    window.Key_SaveData->click();
    EXPECT_EQ(storedNote(), owner);

    // Typed on another sensor, or not typed since: the stored note stays.
    noteInSensorWindow("2518", QStringLiteral("another sensor"));
    window.Key_SaveData->click();
    EXPECT_EQ(storedNote(), owner);
    noteInSensorWindow("2517", QStringLiteral("left unsaved"));
    noteInSensorWindow("2516", QString());
    window.Key_SaveData->click();
    EXPECT_EQ(storedNote(), owner);
    EXPECT_TRUE(rig.messages.texts().isEmpty()) << rig.messages.texts().join('\n').toStdString();
}

TEST_F(ServiceStore, TheSensorNumberAsTypedChoosesTheFile)
{
    // Before "Ввод" the typed number counts (after it the read one is back).
    setCell(22, "1234");
    window.Key_SaveData->click();
    EXPECT_EQ(rig.messages.texts(), QStringList{"Файл F_12.dat  не найден."});
    const QByteArray file = ReadWholeFile(rig.dir.file("F_12.dat"));
    ASSERT_EQ(file.size(), SensorFileSize);
    EXPECT_EQ(WordAt(file, 34 * SensorRecordSize + 2 * 31), 1234);
    EXPECT_EQ(file.left(34 * SensorRecordSize), QByteArray(34 * SensorRecordSize, '\0'));
}

TEST_F(ServiceStore, ABadSensorNumberOrReadingStoresNothing)
{
    for (const char *bad : {"70000", "", "-3", "12x"}) {
        setCell(22, bad);
        window.Key_SaveData->click();
    }
    setCell(22, "2517");
    setCell(3, "");
    window.Key_SaveData->click();
    ASSERT_EQ(rig.messages.texts().size(), 5);
    EXPECT_TRUE(rig.messages.texts()[0].contains("№ сенсора"));
    EXPECT_TRUE(rig.messages.texts()[4].contains("Алкоголь 0.5"));
    EXPECT_EQ(SensorNumber, 2517);
    EXPECT_TRUE(QDir(rig.dir.path()).entryList({"F_*"}).isEmpty());
}

TEST_F(ServiceStore, ADamagedFileIsLeftAsItWas)
{
    // Too short or too long: either is no file of a hundred records.
    for (const QByteArray &damaged : {PatternFile().left(12345), PatternFile() + PatternFile().left(100)}) {
        SCOPED_TRACE(damaged.size());
        ASSERT_TRUE(WriteWholeFile(rig.dir.file("F_25.dat"), damaged));
        rig.messages.clear();
        setCell(22, "2517");
        window.Key_SaveData->click();
        EXPECT_EQ(rig.messages.texts().size(), 1);
        EXPECT_EQ(ReadWholeFile(rig.dir.file("F_25.dat")), damaged);

        // Nor is the file of another sensor written from that image.
        rig.messages.clear();
        setCell(22, "2518");
        window.Key_SaveData->click();
        EXPECT_EQ(ReadWholeFile(rig.dir.file("F_25.dat")), damaged);
    }
}

} // namespace
