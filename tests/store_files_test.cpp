#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"

#include "WorkDir.h"
#include "shell/Message.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

class StoreFiles : public ::testing::Test {
protected:
    void SetUp() override { ResetDataModel(); }
    void TearDown() override { ResetDataModel(); }

    QByteArray FileBytes(const char *name) const { return ReadWholeFile(work.file(name)); }
    void PutFile(const char *name, const QByteArray &bytes) const
    {
        ASSERT_TRUE(WriteWholeFile(work.file(name), bytes));
    }
    // Exactly one message, the input/output error naming the file.
    void ExpectFileError(const char *name)
    {
        ASSERT_EQ(messages.messages().size(), 1u);
        EXPECT_EQ(messages.messages()[0].kind, MessageKind::Error);
        EXPECT_TRUE(messages.messages()[0].text.contains(QString::fromLatin1(name)));
        messages.clear();
    }

    ScopedWorkDir work;
    MessageRecorder messages;
};

TEST_F(StoreFiles, ConfigBytesAndBack)
{
    PortNumber = 3;
    SensorNumber = 0x1234;
    SensorTable[0] = 0xABCD;
    SensorTable[17] = 999;
    SensorTable[32] = 7;
    VolumeCoef = 75;

    ASSERT_TRUE(Report(SaveConfig()));
    const QByteArray file = FileBytes(ConfigFileName);
    ASSERT_EQ(file.size(), ConfigFileSize);
    EXPECT_EQ(file.left(10).toHex(), "0312343a251d7639abcd");   // 583729 as 58 37 29
    EXPECT_EQ(file.mid(42, 2).toHex(), "004b");                 // word 17 is VolumeCoef
    EXPECT_EQ(SensorTableSaved[17], 75);
    EXPECT_EQ(SensorTableSaved[32], 0);                         // words 32..35 stay out

    ResetDataModel();
    ASSERT_TRUE(Report(LoadConfig()));
    EXPECT_EQ(PortName, "COM3");
    EXPECT_EQ(SensorNumber, 0x1234);
    EXPECT_EQ(ConfigNumber, 583729);
    EXPECT_EQ(VolumeCoef, 75);
    EXPECT_EQ(SensorTable[0], 0xABCD);
    EXPECT_EQ(SensorTableSaved[0], 0xABCD);
    EXPECT_TRUE(messages.messages().empty());
}

TEST_F(StoreFiles, ConfigPortByte)
{
    const std::tuple<int, int, const char *> cases[] = {
        {9, 9, "COM9"}, {10, 1, "COM1"}, {255, 1, "COM1"}, {0, 0, "COM5"}};
    for (const auto &[byte, port, name] : cases) {
        QByteArray file(ConfigFileSize, '\0');
        file[0] = static_cast<char>(byte);
        PutFile(ConfigFileName, file);
        PortName = "COM5";
        ASSERT_TRUE(Report(LoadConfig()));
        EXPECT_EQ(PortNumber, port) << byte;
        EXPECT_EQ(PortName, name) << byte;
    }
}

TEST_F(StoreFiles, ListNamesAreCutAndPaddedToSixteen)
{
    ListNames[1] = "ABCDEFGHIJKLMNOPQRST";
    ListNames[8] = "abc";
    PersonNames[2][5] = ToCp1251("Петров");

    ASSERT_TRUE(Report(SaveLists()));
    const QByteArray file = FileBytes(ListFileName);
    ASSERT_EQ(file.size(), ListFileSize);
    EXPECT_EQ(file.left(16), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(file.mid(7 * 16, 16), "abc             ");
    EXPECT_EQ(file.mid((8 + 64 + 5) * 16, 16), ToCp1251("Петров          "));

    ResetDataModel();
    ASSERT_TRUE(Report(LoadLists()));
    EXPECT_EQ(ListNames[8], "abc             ");
    EXPECT_EQ(PersonNames[2][5], ToCp1251("Петров          "));
}

TEST_F(StoreFiles, ResultsFileAndItsCount)
{
    ResultCount = 300;
    Results[0].bytes = {1, 5, 0x93, 0x2A, 0x8F, 0x0F};
    Results[ResultSlots - 1].bytes = {0xFF, 1, 2, 3, 4, 5};

    ASSERT_TRUE(Report(SaveResults()));
    QByteArray file = FileBytes(ResultsFileName);
    ASSERT_EQ(file.size(), ResultsFileSize);
    EXPECT_EQ(file.left(2).toHex(), "2c01");
    EXPECT_EQ(file.mid(2, 58), QByteArray(58, '\0'));
    EXPECT_EQ(file.mid(60, 6).toHex(), "0105932a8f0f");
    EXPECT_EQ(file.right(6).toHex(), "ff0102030405");

    ResetDataModel();
    ASSERT_TRUE(Report(LoadResults()));
    EXPECT_EQ(ResultCount, 300);
    EXPECT_EQ(Results[0].DateCode(), 0x93);
    EXPECT_EQ(Results[ResultSlots - 1].bytes[5], 5);

    file[0] = file[1] = '\xFF';   // a count beyond the slots is bounded
    PutFile(ResultsFileName, file);
    ASSERT_TRUE(Report(LoadResults()));
    EXPECT_EQ(ResultCount, ResultSlots);
}

TEST_F(StoreFiles, MissingFilesAreWarnedAboutAndCreated)
{
    PortNumber = 4;
    PortName = "COM4";
    ResultCount = 2;
    for (int r = 0; r <= 9000; ++r)
        Results[r].bytes[0] = 0xFF;

    ASSERT_TRUE(Report(LoadConfig()));
    ASSERT_TRUE(Report(LoadLists()));
    ASSERT_TRUE(Report(LoadResults()));

    QStringList expected;
    for (const char *name : {ConfigFileName, ListFileName, ResultsFileName})
        expected << QStringLiteral("Файл %1  не найден.Будет создан новый файлПроверьте установки в программе").arg(name);
    EXPECT_EQ(messages.texts(), expected);
    EXPECT_EQ(messages.messages()[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);

    EXPECT_EQ(PortName, "COM1");
    EXPECT_EQ(FileBytes(ConfigFileName).left(1).toHex(), "01");

    EXPECT_EQ(FromCp1251(ListNames[1]), "Название цеха 1");
    EXPECT_EQ(FromCp1251(PersonNames[8][63]), "Цех 8 Фамилия 63");
    EXPECT_EQ(FileBytes(ListFileName).left(16), ToCp1251("Название цеха 1 "));

    const QByteArray results = FileBytes(ResultsFileName);
    ASSERT_EQ(results.size(), ResultsFileSize);
    EXPECT_EQ(results.left(2).toHex(), "0200");
    EXPECT_EQ(results.mid(60 + 6 * 9000, 7).toHex(), "ff000000000000");
}

// A short or empty file keeps every byte it holds in the data model, is
// reported and stays on disk as it was.
TEST_F(StoreFiles, ShortFilesAreReportedAndKept)
{
    const QByteArray config = QByteArray::fromHex("050102" "0c22");   // ConfigNumber cut off
    PutFile(ConfigFileName, config);
    EXPECT_FALSE(Report(LoadConfig()));
    ExpectFileError(ConfigFileName);
    EXPECT_EQ(PortNumber, 5);
    EXPECT_EQ(SensorNumber, 0x0102);
    EXPECT_EQ(ConfigNumber, 123429);   // 12 34 from the file, 29 from before
    EXPECT_EQ(FileBytes(ConfigFileName), config);

    const QByteArray lists = ToCp1251("Первый список   ") + "half";
    PutFile(ListFileName, lists);
    ListNames[2] = "before";
    ListNames[3] = "third";
    EXPECT_FALSE(Report(LoadLists()));
    ExpectFileError(ListFileName);
    EXPECT_EQ(ListNames[1], ToCp1251("Первый список   "));
    EXPECT_EQ(ListNames[2], "halfre");
    EXPECT_EQ(ListNames[3], "third");
    EXPECT_EQ(FileBytes(ListFileName), lists);

    PutFile(ResultsFileName, {});
    ResultCount = 7;
    EXPECT_FALSE(Report(LoadResults()));
    ExpectFileError(ResultsFileName);
    EXPECT_EQ(ResultCount, 7);
    EXPECT_EQ(QFileInfo(work.file(ResultsFileName)).size(), 0);
}

TEST_F(StoreFiles, ShortConfigurationSavedAgainKeepsEveryByteItHeld)
{
    QByteArray config = QByteArray::fromHex("0300074e20417639");
    for (int k = 0; k < 6; ++k)
        config += QByteArray::fromHex("1200").replace(1, 1, QByteArray(1, char(k)));
    config += char(0x77);   // high byte of word 6
    PutFile(ConfigFileName, config);
    SensorTable[6] = 0x0199;
    SensorTable[7] = 0x0203;
    EXPECT_FALSE(Report(LoadConfig()));
    EXPECT_EQ(SensorTable[5], 0x1205);
    EXPECT_EQ(SensorTable[6], 0x7799);
    EXPECT_EQ(SensorTable[7], 0x0203);

    PortNumber = 6;
    ASSERT_TRUE(Report(SaveConfig()));
    const QByteArray saved = FileBytes(ConfigFileName);
    ASSERT_EQ(saved.size(), ConfigFileSize);
    EXPECT_EQ(saved.mid(1, config.size() - 1), config.mid(1));
    EXPECT_EQ(saved.mid(20, 4).toHex(), QByteArray("77990203"));
}

// The read mark lives in the reserved header bytes, with the count it
// belongs to; the file's size and every other byte are as before.
TEST_F(StoreFiles, ReadMarkKeptInTheReservedBytes)
{
    const ResultRecord last{{0x03, 0x07, 0xAC, 0x41, 0x05, 0x02}};
    ResultCount = 300;
    Results[0].bytes = {1, 5, 0x93, 0x2A, 0x8F, 0x0F};
    ReadMark = InstrumentReadMark{298, last};
    ASSERT_TRUE(Report(SaveResults()));
    const QByteArray file = FileBytes(ResultsFileName);
    ASSERT_EQ(file.size(), ResultsFileSize);
    EXPECT_EQ(file.left(14).toHex(), "2c01" "01" "2a01" "01" "0307ac410502" "2c01");
    EXPECT_EQ(file.mid(14, 46), QByteArray(46, '\0'));
    EXPECT_EQ(file.mid(60, 6).toHex(), "0105932a8f0f");

    ResetDataModel();
    ASSERT_TRUE(Report(LoadResults()));
    EXPECT_EQ(ReadMark, (InstrumentReadMark{298, last}));
    EXPECT_EQ(NextInstrumentRecord(), 298);

    // Without a mark, or with one of another count, the count says where to
    // read: records may come twice, none is missed.
    const auto loadedMark = [this, &file](int offset, const QByteArray &hex) {
        const QByteArray patch = QByteArray::fromHex(hex);
        PutFile(ResultsFileName, QByteArray(file).replace(offset, patch.size(), patch));
        ReadMark = InstrumentReadMark{5, {}};
        EXPECT_TRUE(Report(LoadResults()));
        return ReadMark;
    };
    EXPECT_EQ(loadedMark(2, QByteArray(58 * 2, '0')), std::nullopt);
    EXPECT_EQ(NextInstrumentRecord(), 300);
    EXPECT_EQ(loadedMark(12, "2d"), std::nullopt);
    EXPECT_EQ(loadedMark(3, "dd05"), std::nullopt);   // past record 1499
    EXPECT_EQ(loadedMark(5, "02"), std::nullopt);
    EXPECT_EQ(loadedMark(3, "0000"), std::nullopt);   // a last record before record 0
    EXPECT_EQ(loadedMark(5, "00"), (InstrumentReadMark{298, {}}));
    EXPECT_EQ(loadedMark(3, "dc05"), (InstrumentReadMark{1500, last}));

    // After an erase of the instrument the file takes a mark at record 0 and
    // keeps everything else.
    PutFile(ResultsFileName, file);
    ASSERT_TRUE(Report(ForgetInstrumentRecords()));
    EXPECT_EQ(ReadMark, InstrumentReadMark{});
    const QByteArray erased = FileBytes(ResultsFileName);
    EXPECT_EQ(erased.mid(2, 12).toHex(), "01" "0000" "00" "000000000000" "2c01");
    EXPECT_EQ(erased.left(2) + erased.mid(14), file.left(2) + file.mid(14));
    ASSERT_TRUE(Report(LoadResults()));
    EXPECT_EQ(NextInstrumentRecord(), 0);

    // A file of a wrong size takes no mark, and says so.
    PutFile(ResultsFileName, file.left(100));
    const FileOutcome refused = ForgetInstrumentRecords();
    EXPECT_FALSE(refused.done);
    ASSERT_EQ(refused.notices.size(), 1u);
    EXPECT_TRUE(refused.notices[0].text.contains(ResultsFileName)) << refused.notices[0].text.toStdString();
    EXPECT_EQ(FileBytes(ResultsFileName), file.left(100));
}

// A results file cut off inside its records holds only the records that are
// there, whatever its count says.
TEST_F(StoreFiles, ResultCountIsBoundedByTheRecordsTheFileHolds)
{
    QByteArray file = QByteArray::fromHex("2c01") + QByteArray(58, '\0');
    for (int r = 0; r < 10; ++r)
        file += QByteArray::fromHex("0105932a8f0f");
    file += QByteArray::fromHex("020406");   // half a record
    PutFile(ResultsFileName, file);
    Results[10].bytes = {9, 9, 9, 9, 9, 9};
    EXPECT_FALSE(Report(LoadResults()));
    ExpectFileError(ResultsFileName);
    EXPECT_EQ(ResultCount, 10);
    EXPECT_EQ(Results[9].DateCode(), 0x93);
    EXPECT_EQ(Results[10].bytes, (std::array<uint8_t, 6>{2, 4, 6, 9, 9, 9}));

    PutFile(ResultsFileName, file.left(60));   // a header and no record
    EXPECT_FALSE(Report(LoadResults()));
    EXPECT_EQ(ResultCount, 0);
}

// Windows load their files at every activation: a failure is reported when
// it is new, not again for the same unchanged file.
TEST_F(StoreFiles, ALoadFailureIsReportedOnceUntilTheFileChanges)
{
    const QByteArray shortConfig(20, '\x02');
    PutFile(ConfigFileName, shortConfig);
    EXPECT_FALSE(Report(LoadConfig()));
    ExpectFileError(ConfigFileName);
    EXPECT_FALSE(Report(LoadConfig()));
    EXPECT_FALSE(Report(LoadConfig()));
    EXPECT_TRUE(messages.messages().empty());

    PutFile(ConfigFileName, QByteArray(30, '\x03'));
    EXPECT_FALSE(Report(LoadConfig()));
    ExpectFileError(ConfigFileName);

    PutFile(ConfigFileName, QByteArray(ConfigFileSize, '\x04'));
    EXPECT_TRUE(Report(LoadConfig()));
    PutFile(ConfigFileName, QByteArray(30, '\x03'));
    EXPECT_FALSE(Report(LoadConfig()));
    ExpectFileError(ConfigFileName);
    EXPECT_TRUE(messages.messages().empty());
}

// A file that is there but cannot be read is not in the data model: a save
// must not put the model's values over it.
TEST_F(StoreFiles, AnUnreadableFileIsNeverReplaced)
{
    // Reading through this link fails with an input/output error.
    for (const char *name : {ConfigFileName, ListFileName, ResultsFileName})
        ASSERT_TRUE(QFile::link("/proc/self/mem", work.file(name)));
    EXPECT_FALSE(Report(LoadConfig()));
    EXPECT_FALSE(Report(LoadLists()));
    EXPECT_FALSE(Report(LoadResults()));
    EXPECT_EQ(messages.messages().size(), 3u);
    messages.clear();

    PortNumber = 5;
    EXPECT_FALSE(Report(SaveConfig()));
    EXPECT_FALSE(Report(SaveLists()));
    EXPECT_FALSE(Report(SaveResults()));
    ASSERT_EQ(messages.messages().size(), 3u);
    EXPECT_TRUE(messages.messages()[0].text.contains(QStringLiteral("не перезаписан")));
    messages.clear();
    EXPECT_FALSE(Report(SaveConfig()));   // said once
    EXPECT_TRUE(messages.messages().empty());
    for (const char *name : {ConfigFileName, ListFileName, ResultsFileName})
        EXPECT_EQ(QFileInfo(work.file(name)).symLinkTarget(), "/proc/self/mem") << name;

    // Once the operator has put a readable file in its place, saves go on.
    ASSERT_TRUE(QFile::remove(work.file(ConfigFileName)));
    PutFile(ConfigFileName, QByteArray(ConfigFileSize, '\0'));
    EXPECT_TRUE(Report(LoadConfig()));
    PortNumber = 5;
    EXPECT_TRUE(Report(SaveConfig()));
    EXPECT_EQ(FileBytes(ConfigFileName).at(0), 5);
}

TEST_F(StoreFiles, AReadOnlyFileIsLeftAsItIs)
{
    const QByteArray config(ConfigFileSize, '\x01');
    PutFile(ConfigFileName, config);
    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(work.file(ConfigFileName), readOnly));
    PortNumber = 7;
    EXPECT_FALSE(Report(SaveConfig()));
    ExpectFileError(ConfigFileName);
    EXPECT_EQ(FileBytes(ConfigFileName), config);
    const QFile::Permissions writable = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    EXPECT_FALSE(QFileInfo(work.file(ConfigFileName)).permissions() & writable);
}

TEST_F(StoreFiles, UnreadableOrUnwritablePlacesAreReported)
{
    ASSERT_TRUE(QDir(work.path()).mkdir(ConfigFileName));
    EXPECT_FALSE(Report(LoadConfig()));   // there, but not a file: never replaced
    ExpectFileError(ConfigFileName);
    EXPECT_FALSE(Report(SaveConfig()));
    ExpectFileError(ConfigFileName);
    EXPECT_TRUE(QFileInfo(work.file(ConfigFileName)).isDir());

    PutFile("plain", "not a directory");
    EXPECT_FALSE(Report(ReplaceFile("plain/orbisk_a.dat", "data")));
    ExpectFileError("plain/orbisk_a.dat");
}

// A full disk, imitated with a file size limit that binds root too: the save
// fails part-way and the previous file stays whole.
TEST_F(StoreFiles, FailingWriteLeavesTheOldFile)
{
    ResultCount = 1;
    Results[0].bytes = {1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(Report(SaveResults()));
    const QByteArray before = FileBytes(ResultsFileName);

    Results[0].bytes = {7, 7, 7, 7, 7, 7};
    rlimit normal{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &normal), 0);
    rlimit small = normal;
    small.rlim_cur = 4096;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = Report(SaveResults());
    setrlimit(RLIMIT_FSIZE, &normal);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved);
    ExpectFileError(ResultsFileName);
    EXPECT_EQ(FileBytes(ResultsFileName), before);
    EXPECT_EQ(QDir(work.path()).entryList(QDir::Files), QStringList{ResultsFileName});
}

} // namespace
