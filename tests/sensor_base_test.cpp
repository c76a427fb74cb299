#include "sensor/SensorBase.h"
#include "store/Cp1251.h"
#include "store/OrbADat.h"

#include "SensorSamples.h"
#include "WorkDir.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

class SensorBase : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDataModel();
        ResetSensorBase();
    }
    void TearDown() override
    {
        ResetDataModel();
        ResetSensorBase();
    }

    QByteArray FileBytes(const QString &name) const { return ReadWholeFile(work.file(name)); }
    void PutFile(const QString &name, const QByteArray &bytes) const
    {
        ASSERT_TRUE(WriteWholeFile(work.file(name), bytes));
    }
    // Exactly one message of `kind`, naming `what`.
    void ExpectOneMessage(MessageKind kind, const QString &what)
    {
        ASSERT_EQ(messages.messages().size(), 1u) << messages.texts().join('\n').toStdString();
        EXPECT_EQ(messages.messages()[0].kind, kind);
        EXPECT_TRUE(messages.messages()[0].text.contains(what))
            << messages.messages()[0].text.toStdString();
        messages.clear();
    }

    ScopedWorkDir work;
    MessageRecorder messages;
};

TEST_F(SensorBase, NumbersSelectFileAndRecord)
{
    const std::tuple<int, const char *, int> cases[] = {
        {0, "F_00.dat", 0}, {99, "F_00.dat", 99}, {100, "F_01.dat", 0},
        {1234, "F_12.dat", 34}, {12345, "F_123.dat", 45}, {65535, "F_655.dat", 35}};
    for (const auto &[number, name, record] : cases) {
        ASSERT_TRUE(SelectSensorRecord(number));
        EXPECT_EQ(SensorFileName(SensorFileIndex), name) << number;
        EXPECT_EQ(SensorRecordIndex, record) << number;
    }

    // Outside 0..65535: refused, the selection stays.
    for (int number : {-5, 65536, 471906}) {
        EXPECT_FALSE(SelectSensorRecord(number));
        EXPECT_FALSE(LoadSensorBase(number));
        EXPECT_EQ(messages.messages().size(), 2u) << number;
        messages.clear();
        EXPECT_EQ(SensorFileIndex, 655);
        EXPECT_EQ(SensorRecordIndex, 35);
    }
    EXPECT_TRUE(QDir(work.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(SensorBase, MissingFileIsCreatedEmpty)
{
    MessageRecorder cancel(QMessageBox::Cancel);   // the answer is not used
    ASSERT_TRUE(LoadSensorBase(1234));
    ASSERT_EQ(cancel.messages().size(), 1u);
    EXPECT_EQ(cancel.messages()[0].kind, MessageKind::Warning);
    EXPECT_EQ(cancel.messages()[0].text, "Файл F_12.dat  не найден.");
    EXPECT_EQ(cancel.messages()[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_TRUE(DataEntryEnabled);
    EXPECT_EQ(FileBytes("F_12.dat"), QByteArray(SensorFileSize, '\0'));

    VolumeCoef = SensorTable[17] = 75;
    UnpackSensorRecord();
    EXPECT_EQ(SensorWords, SensorWordArray{});
    EXPECT_EQ(MixtureValues, MixtureArray{});
    EXPECT_EQ(VolumeCoef, 0);
    EXPECT_EQ(SensorTable[17], 0);
    EXPECT_EQ(SensorNote, QByteArray(40, ' '));

    // Found the second time: no warning.
    DataEntryEnabled = false;
    ASSERT_TRUE(LoadSensorBase(1299));
    EXPECT_EQ(cancel.messages().size(), 1u);
    EXPECT_FALSE(DataEntryEnabled);
}

TEST_F(SensorBase, DeriveAndCompleteFromMixtures)
{
    SensorNumber = 5;
    MixtureValues = ExampleMixtures;
    ASSERT_TRUE(SelectSensorRecord(SensorNumber));
    DeriveSensorWords();
    CompleteSensorWords();
    for (int k = 0; k < 32; ++k)
        EXPECT_EQ(SensorWords[k], ExampleWords[k]) << "word " << k;
    // Two copies of words 11..26.
    for (int k = 11; k <= 26; ++k) {
        EXPECT_EQ(SensorWords[k + 21], SensorWords[k]) << "word " << k;
        EXPECT_EQ(SensorWords[k + 37], SensorWords[k]) << "word " << k;
    }
    EXPECT_EQ(SensorWords[34], 0);

    // A word 11 already set stays; a zero one takes the file index.
    SensorWords[11] = 23456;
    CompleteSensorWords();
    EXPECT_EQ(SensorWords[11], 23456);
    EXPECT_EQ(SensorWords[48], 23456);
    SensorNumber = 12345;
    SensorWords[11] = 0;
    ASSERT_TRUE(SelectSensorRecord(SensorNumber));
    CompleteSensorWords();
    EXPECT_EQ(SensorWords[11], 24123);
    EXPECT_EQ(SensorWords[27], 12345);
    EXPECT_EQ(SensorWords[31], 12345);

    // Readings that rise: divisions truncate toward zero, not down.
    MixtureValues = {100, 200, 303, 407, 500, 600, 707};
    DeriveSensorWords();
    EXPECT_EQ(SensorWords[3], 365);    // 303 - (-624 / 10)
    EXPECT_EQ(SensorWords[4], 384);    // 303 - (-8112 / 100)
    EXPECT_EQ(SensorWords[23], 586);   // 580 - (-60 / 10)
    EXPECT_EQ(SensorWords[24], 596);   // 586 - (-107 / 10)
}

TEST_F(SensorBase, RecordLayoutByteForByte)
{
    const QByteArray original = PatternSensorFile();
    PutFile("F_123.dat", original);
    SensorNumber = 12345;
    ASSERT_TRUE(LoadSensorBase(SensorNumber));

    for (int k = 0; k < SensorWordCount; ++k)
        SensorWords[k] = 0x0100 * k + 0xF0 - k;
    MixtureValues = ExampleMixtures;
    SensorTable[17] = 0xABCD;
    SensorNote = ToCp1251(QStringLiteral("Прибор 0042, владелец ООО «Пример», г. Тверь."));
    ASSERT_EQ(SensorNote.size(), 45);
    ASSERT_TRUE(PackSensorRecord());
    ASSERT_TRUE(StoreSensorBase(SensorNumber));
    EXPECT_TRUE(messages.messages().empty());

    const QByteArray file = FileBytes("F_123.dat");
    ASSERT_EQ(file.size(), SensorFileSize);
    const int at = 45 * SensorRecordSize;
    EXPECT_EQ(file.left(at), original.left(at));
    EXPECT_EQ(file.mid(at + SensorRecordSize), original.mid(at + SensorRecordSize));
    const QByteArray record = file.mid(at, SensorRecordSize);
    EXPECT_EQ(record.mid(0, 4).toHex(), "00f001ef");
    EXPECT_EQ(record.mid(126, 2).toHex(), "3fb1");
    EXPECT_EQ(record.mid(128, 14).toHex(), "0bb807d0070805dc057803e801f4");
    EXPECT_EQ(record.mid(142, 6), original.mid(at + 142, 6));
    EXPECT_EQ(record.mid(148, 2).toHex(), "abcd");
    EXPECT_EQ(FromCp1251(record.mid(150, 40)), QStringLiteral("Прибор 0042, владелец ООО «Пример», г. Т"));
    EXPECT_EQ(record.mid(190, 10), original.mid(at + 190, 10));

    // A short note is blank-filled; control bytes read back as blanks; a
    // character without a CP1251 code is stored as "?".
    SensorNote = ToCp1251(QStringLiteral("a\tb\x01✓"));
    ASSERT_TRUE(PackSensorRecord());
    EXPECT_EQ(SensorBaseImage.mid(at + 150, 40), QByteArray("a\tb\x01?").leftJustified(40, ' '));
    const SensorWordArray packed = SensorWords;
    SensorWords = {};
    MixtureValues = {};
    UnpackSensorRecord();
    EXPECT_EQ(SensorWords, packed);
    EXPECT_EQ(MixtureValues, ExampleMixtures);
    EXPECT_EQ(VolumeCoef, 0xABCD);
    EXPECT_EQ(SensorNote, QByteArray("a b ?").leftJustified(40, ' '));
}

TEST_F(SensorBase, WordsOutsideTheRecordAreRefused)
{
    PutFile("F_00.dat", PatternSensorFile());
    SensorNumber = 7;
    ASSERT_TRUE(LoadSensorBase(SensorNumber));
    const QByteArray image = SensorBaseImage;
    const SensorWordArray words = SensorWords;

    // A shift of -3000 on the readings: the 2.0 reading goes negative.
    MixtureValues = {0, 0, 0, 0, 0, 1000, -1000};
    EXPECT_FALSE(StoreSensorRecord());
    ExpectOneMessage(MessageKind::Warning, QStringLiteral("«2.0 промиле»"));
    EXPECT_EQ(SensorWords, words);

    MixtureValues = ExampleMixtures;
    SensorTable[17] = 70000;
    EXPECT_FALSE(BuildSensorRecord());
    ExpectOneMessage(MessageKind::Warning, QStringLiteral("= 70000"));

    SensorTable[17] = 100;
    SensorWords[11] = 65536;
    EXPECT_FALSE(PackSensorRecord());
    ExpectOneMessage(MessageKind::Warning, QStringLiteral("«Коэффиц. U/F») = 65536"));

    EXPECT_EQ(SensorBaseImage, image);
    EXPECT_EQ(FileBytes("F_00.dat"), PatternSensorFile());
}

// A file replaced between the load and the store (a copy put back by hand)
// keeps the other sensors' records as it holds them then.
TEST_F(SensorBase, AStoreChangesTheRecordOfItsSensorAlone)
{
    PutFile("F_00.dat", QByteArray(SensorFileSize, '\0'));
    ASSERT_TRUE(LoadSensorBase(5));
    PutFile("F_00.dat", PatternSensorFile());
    SensorNumber = 5;
    MixtureValues = ExampleMixtures;
    SensorTable[17] = 100;
    ASSERT_TRUE(StoreSensorRecord());
    const int record = 5 * SensorRecordSize;
    const QByteArray expected = PatternSensorFile().replace(record, 2, QByteArray::fromHex("0bb8"));   // 3000
    EXPECT_EQ(FileBytes("F_00.dat").left(record + 2), expected.left(record + 2));
    EXPECT_EQ(FileBytes("F_00.dat").mid(record + SensorRecordSize), expected.mid(record + SensorRecordSize));
}

TEST_F(SensorBase, AFileLongerThanAHundredRecordsIsDamagedToo)
{
    const QByteArray longFile = PatternSensorFile() + QByteArray(100, '\x5A');
    PutFile("F_01.dat", longFile);
    EXPECT_FALSE(LoadSensorBase(150));
    ExpectOneMessage(MessageKind::Error, QStringLiteral("20100 байт"));
    EXPECT_FALSE(SensorBaseUsable());
    EXPECT_EQ(SensorBaseImage, PatternSensorFile());   // the records are there to be seen
    EXPECT_FALSE(StoreSensorBase(150));
    ExpectOneMessage(MessageKind::Error, QStringLiteral("F_01.dat"));
    EXPECT_EQ(FileBytes("F_01.dat"), longFile);
}

TEST_F(SensorBase, DamagedFilesAreReportedAndLeft)
{
    const QByteArray shortFile = PatternSensorFile().left(SensorFileSize - 1);
    PutFile("F_01.dat", shortFile);
    SensorNumber = 150;
    EXPECT_FALSE(LoadSensorBase(SensorNumber));
    ExpectOneMessage(MessageKind::Error, QStringLiteral("F_01.dat"));
    EXPECT_FALSE(SensorBaseUsable());
    EXPECT_EQ(SensorBaseImage.left(100), shortFile.left(100));   // what could be read

    // Nothing is stored until the file loads whole.
    MixtureValues = ExampleMixtures;
    SensorTable[17] = 100;
    EXPECT_FALSE(StoreSensorRecord());
    ExpectOneMessage(MessageKind::Error, QStringLiteral("F_01.dat"));
    EXPECT_FALSE(StoreSensorBase(SensorNumber));
    ExpectOneMessage(MessageKind::Error, QStringLiteral("F_01.dat"));
    EXPECT_EQ(FileBytes("F_01.dat"), shortFile);

    // A file that exists but is no file is never replaced by an empty one.
    ASSERT_TRUE(QDir(work.path()).mkdir("F_02.dat"));
    EXPECT_FALSE(LoadSensorBase(250));
    ExpectOneMessage(MessageKind::Error, QStringLiteral("F_02.dat"));
    EXPECT_FALSE(SensorBaseUsable());
    EXPECT_TRUE(QFileInfo(work.file("F_02.dat")).isDir());

    // A good load of another file does not open the way into this one.
    ASSERT_TRUE(LoadSensorBase(0));
    messages.clear();
    EXPECT_TRUE(SensorBaseUsable());
    EXPECT_FALSE(StoreSensorBase(150));
    ExpectOneMessage(MessageKind::Error, QStringLiteral("F_01.dat"));
    EXPECT_EQ(FileBytes("F_01.dat"), shortFile);

    PutFile("F_01.dat", PatternSensorFile());
    EXPECT_TRUE(LoadSensorBase(150));
    EXPECT_TRUE(StoreSensorRecord());
    EXPECT_TRUE(messages.messages().empty());
}

} // namespace
