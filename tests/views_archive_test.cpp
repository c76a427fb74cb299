// The archive fed by the real steps against the virtual instrument: what a
// step stores goes in once, with the names of that moment; an archive that
// cannot be used is named once and the step stores as before; the window
// finds, counts and imports.

#include "ExchangeRig.h"
#include "TestRecords.h"

#include "store/Archive.h"
#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "store/Spreadsheet.h"
#include "views/Arch.h"
#include "views/ArchiveModel.h"
#include "views/ArchiveStep.h"
#include "views/Res.h"
#include "views/ResultSteps.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

const QDateTime Now(QDate(2026, 12, 8), QTime(10, 0));
constexpr int InstrumentNo = 12345;

std::vector<ResultRecord> TestsOfThisMonth(int count, int first = 0)
{
    std::vector<ResultRecord> records;
    for (int i = first; i < first + count; ++i)
        records.push_back(TestRecord(1 + i % 2, i % 64, QDateTime(QDate(2026, 12, 1), QTime(8, 0)).addSecs(60 * i), i % 7));
    return records;
}

constexpr int NotATest = 3;   // the record of list 12: neither stored nor archived

// The instrument's memory: its number in sensor word 21, then `count`
// records.
QByteArray Memory(int count)
{
    std::vector<ResultRecord> records = TestsOfThisMonth(count);
    records[NotATest].bytes[0] = 12;
    records.push_back(EndRecord());
    QByteArray memory = MemoryWithRecords(records);
    memory[42] = char(InstrumentNo & 0xFF);
    memory[43] = char(InstrumentNo >> 8);
    return memory;
}

// The archive's tests as (index, person name), by index.
std::vector<std::pair<int, QString>> Archived()
{
    std::vector<std::pair<int, QString>> rows;
    QSqlQuery query = ProgramArchive()->Select({}, ArchRecordIndex, Qt::AscendingOrder, true);
    while (query.next()) {
        EXPECT_EQ(query.value(ArchInstrument).toInt(), InstrumentNo);
        rows.emplace_back(query.value(ArchRecordIndex).toInt(), query.value(ArchPersonName).toString());
    }
    return rows;
}

QString PersonNow(const ResultRecord &record)
{
    return WithoutPadding(FromCp1251(PersonNames[record.ListNo()][record.PersonNo()]));
}

int SensorTableReads(const std::vector<QByteArray> &frames)
{
    return int(std::count_if(frames.begin(), frames.end(), [](const QByteArray &frame) {
        return frame.startsWith(Hex("3A 06 01 2A 00 02"));
    }));
}

// Makes the archive refuse every new test, as a full disk would, or take
// them again.
void RefuseArchiveWrites(bool refuse)
{
    {
        QSqlDatabase side = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("side"));
        side.setDatabaseName(ArchiveFileName);
        ASSERT_TRUE(side.open());
        ASSERT_TRUE(QSqlQuery(side).exec(QString::fromLatin1(
            refuse ? "CREATE TRIGGER refuse BEFORE INSERT ON tests BEGIN SELECT RAISE(ABORT, 'disk full'); END"
                   : "DROP TRIGGER refuse")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("side"));
}

class ArchivedSteps : public ::testing::Test {
protected:
    ArchivedSteps() : rig({.memory = Memory(45)}) { ResetDataModel(); }
    ~ArchivedSteps() override
    {
        StopProgramArchive();
        ResetDataModel();
    }

    void SetUp() override { ASSERT_TRUE(rig.ready()); }

    void Open()
    {
        window.show();
        QCoreApplication::processEvents();
    }

    FixedToday today{Now};
    ExchangeRig rig;
    TResF window;
};

} // namespace

TEST_F(ArchivedSteps, AStepArchivesWhatItStoredOnceWithTheNamesOfThatMoment)
{
    ASSERT_TRUE(StartProgramArchive());
    Open();
    window.Key_StepInput->click();
    ASSERT_EQ(ResultCount, 44);
    std::vector<std::pair<int, QString>> expected;
    for (int index = 0; index < 45; ++index) {
        if (index != NotATest)
            expected.emplace_back(index, PersonNow(TestsOfThisMonth(45)[size_t(index)]));
    }
    EXPECT_EQ(Archived(), expected);
    EXPECT_EQ(SensorTableReads(rig.frames()), 1);

    // The lists edited and saved; the instrument read again from its start
    // and on with new tests: the archive gains only the new ones, and keeps
    // the old names.
    for (auto &name : PersonNames[1])
        name = ToCp1251(QStringLiteral("Другой")).leftJustified(NameLength, ' ');
    ASSERT_TRUE(Report(SaveLists()));
    FillBuffer(RecordBytes(TestsOfThisMonth(3, 45)) + RecordBytes(EndRecord()));
    ASSERT_TRUE(WriteMemory(9216 + 6 * 45, 24));
    {
        MessageRecorder yes(QMessageBox::Yes);
        window.Key_InputStart->click();
        window.Key_StepInput->click();
        EXPECT_EQ(yes.texts().size(), 1);   // "Старт" asked whether to discard the stored tests
    }
    for (int index = 45; index < 48; ++index) {
        const ResultRecord test = TestsOfThisMonth(48)[size_t(index)];
        expected.emplace_back(index, test.ListNo() == 1 ? QStringLiteral("Другой") : PersonNow(test));
    }
    EXPECT_EQ(Archived(), expected);
    // "Старт" may face another instrument: its number is read again, once.
    EXPECT_EQ(SensorTableReads(rig.frames()), 2);

    // With the window: the count, a name search, the export of all found.
    TArchF archive;
    archive.show();
    archive.FormActivate();
    EXPECT_EQ(archive.LabelCount->text(), QStringLiteral("Найдено тестов: 47"));
    archive.edit_Name->setText(QStringLiteral("другой"));
    archive.key_PoiskClick();
    EXPECT_EQ(archive.LabelCount->text(), QStringLiteral("Найдено тестов: 1"));
    EXPECT_EQ(archive.Model().rowCount(), 1);
}

TEST_F(ArchivedSteps, AnArchiveThatCannotBeUsedIsNamedOnceAndTheStepStoresAsBefore)
{
    struct Case {
        const char *what;
        std::function<void()> spoil;   // before the archive opens
        bool opens;
        std::function<void()> spoilOpen;   // after it opened
    };
    QSqlDatabase blocker;
    const Case cases[] = {
        {"damaged", [] { WriteWholeFile(ArchiveFileName, QByteArray(4096, '\x5A')); }, false, {}},
        {"locked during a step", {}, true,
         [&blocker] {
             blocker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("blocker"));
             blocker.setDatabaseName(ArchiveFileName);
             ASSERT_TRUE(blocker.open());
             ASSERT_TRUE(QSqlQuery(blocker).exec(QStringLiteral("BEGIN EXCLUSIVE")));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        StopProgramArchive();
        for (const char *file : {ArchiveFileName, ResultsFileName})
            QFile::remove(QString::fromLatin1(file));
        ResetDataModel();
        if (c.spoil)
            c.spoil();
        const QByteArray before = ReadWholeFile(ArchiveFileName);
        rig.messages.clear();
        EXPECT_EQ(StartProgramArchive(), c.opens);
        if (c.spoilOpen)
            c.spoilOpen();
        Open();
        window.Key_StepInput->click();
        window.Key_StepInput->click();

        EXPECT_EQ(rig.messages.texts().filter(ArchiveFileName).size(), 1) << rig.messages.texts().join('|').toStdString();
        EXPECT_EQ(ResultCount, 44);
        EXPECT_EQ(ProgramArchive(), nullptr);
        if (!c.opens) {
            EXPECT_EQ(ReadWholeFile(ArchiveFileName), before);
        }
        window.Key_ExitClick();
        EXPECT_EQ(ReadWholeFile(ResultsFileName).left(2), Hex("2C 00"));
        if (blocker.isOpen()) {
            QSqlQuery(blocker).exec(QStringLiteral("ROLLBACK"));
            blocker.close();
        }
    }
    blocker = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("blocker"));
}

TEST_F(ArchivedSteps, TheWindowImportsAResultsFileOnce)
{
    ASSERT_TRUE(StartProgramArchive());
    ResultCount = 3;
    for (int slot = 0; slot < ResultSlots; ++slot)
        Results[slot] = slot < 3 ? TestsOfThisMonth(3)[size_t(slot)] : EndRecord();
    ASSERT_TRUE(Report(SaveResults()));
    ASSERT_TRUE(QFile::rename(ResultsFileName, QStringLiteral("old.dat")));

    SaveFileAnswer answer(rig.dir.file(QStringLiteral("old.dat")));
    TArchF archive;
    archive.show();
    archive.FormActivate();
    for (const char *said : {"Добавлено в архив тестов: 3.\nУже были в архиве: 0.",
                             "Добавлено в архив тестов: 0.\nУже были в архиве: 3."}) {
        rig.messages.clear();
        archive.Key_Import->click();
        EXPECT_EQ(rig.messages.texts(), QStringList{QString::fromUtf8(said)});
        EXPECT_EQ(archive.LabelCount->text(), QStringLiteral("Найдено тестов: 3"));
    }
}

TEST_F(ArchivedSteps, AStepFromTheFirstRecordAsksTheInstrumentsNumberAgain)
{
    ASSERT_TRUE(StartProgramArchive());
    Open();
    window.Key_StepInput->click();
    ASSERT_EQ(ProgramArchive()->Count({.instrument = InstrumentNo}), 44);

    // The memory cleared from the program, then another instrument on the
    // same port: the step reads it from its first record.
    ASSERT_TRUE(Report(ForgetInstrumentRecords()));
    constexpr int Other = 777;
    FillBuffer(QByteArray::fromHex("0903"));   // 777, low byte first
    ASSERT_TRUE(WriteMemory(42, 2));
    FillBuffer(RecordBytes(TestsOfThisMonth(2, 60)) + RecordBytes(EndRecord()));
    ASSERT_TRUE(WriteMemory(9216, 18));
    window.Key_StepInput->click();
    EXPECT_EQ(ProgramArchive()->Count({.instrument = Other}), 2);
    EXPECT_EQ(ProgramArchive()->Count({.instrument = InstrumentNo}), 44);
}

// Tests the archive took from the results file (a new archive beside an old
// file) are the same tests when "Старт" reads the instrument again: they are
// not added twice, and they gain the instrument's number.
TEST_F(ArchivedSteps, TestsTakenFromTheFileAreNotReadIntoTheArchiveAgain)
{
    Open();
    window.Key_StepInput->click();
    window.Key_ExitClick();
    ASSERT_TRUE(StartProgramArchive());
    ASSERT_EQ(ProgramArchive()->Count(), 44);

    Open();
    MessageRecorder yes(QMessageBox::Yes);
    window.Key_InputStart->click();
    window.Key_StepInput->click();
    EXPECT_EQ(ProgramArchive()->Count(), 44);
    EXPECT_EQ(ProgramArchive()->Count({.instrument = InstrumentNo}), 44);
}

// "Экспорт" writes the tests the window found and shows, not what the search
// fields hold since: every found row (more than one fetch), and no other.
TEST_F(ArchivedSteps, TheExportWritesTheTestsFound)
{
    ASSERT_TRUE(StartProgramArchive());
    std::vector<ArchivedTest> tests;
    for (int i = 0; i < 600; ++i) {
        const ResultRecord record = TestRecord(1, i % 2, Now.addSecs(-60 * i));
        tests.push_back(TestWithNames(record, ToCp1251(QStringLiteral("Цех")),
                                      ToCp1251(i % 2 ? QStringLiteral("Петров") : QStringLiteral("Иванов"))));
        tests.back().recordIndex = i;
        tests.back().readAt = Now;
        tests.back().resultsFile = QStringLiteral("orbisk_a.dat");
    }
    QString error;
    ASSERT_TRUE(ProgramArchive()->AddRead(tests, error));
    TArchF archive;
    archive.show();
    archive.FormActivate();
    archive.edit_Name->setText(QStringLiteral("иванов"));
    archive.key_PoiskClick();
    archive.edit_Name->setText(QStringLiteral("петров ж"));   // typed, not searched
    SaveFileAnswer answer(QStringLiteral("found.csv"));
    archive.Key_Export->click();
    const QStringList lines = QString::fromUtf8(ReadWholeFile(QStringLiteral("found.csv"))).split('\n');
    EXPECT_EQ(lines.filter(QStringLiteral("Иванов")).size(), 300);
    EXPECT_EQ(lines.size(), 300 + 2);   // the header and the end of the last line
}

// A step whose archive write failed stores its tests in the results file
// only. A start whose archive cannot take what it lacks of that file names it
// once and goes on without it (it could not claim to hold every test); the
// next start that can takes them, and the program's own file imported again
// adds nothing.
TEST_F(ArchivedSteps, TheTestsAFailedWriteLeftOutGoInAtTheNextStart)
{
    ASSERT_TRUE(StartProgramArchive());
    RefuseArchiveWrites(true);
    Open();
    window.Key_StepInput->click();
    EXPECT_EQ(ProgramArchive(), nullptr);
    window.Key_ExitClick();

    EXPECT_FALSE(StartProgramArchive());
    EXPECT_EQ(ProgramArchive(), nullptr);
    FillBuffer(RecordBytes(TestsOfThisMonth(3, 45)) + RecordBytes(EndRecord()));
    ASSERT_TRUE(WriteMemory(9216 + 6 * 45, 24));
    Open();
    window.Key_StepInput->click();
    window.Key_ExitClick();
    EXPECT_EQ(ResultCount, 47);
    EXPECT_EQ(rig.messages.texts().filter(ArchiveFileName).size(), 2);

    RefuseArchiveWrites(false);
    ASSERT_TRUE(StartProgramArchive());
    EXPECT_EQ(ProgramArchive()->Count(), 47);
    SaveFileAnswer answer(rig.dir.file(ResultsFileName));
    TArchF archive;
    archive.show();
    archive.FormActivate();
    rig.messages.clear();
    archive.Key_Import->click();
    EXPECT_EQ(rig.messages.texts(),
              QStringList{QStringLiteral("Добавлено в архив тестов: 0.\nУже были в архиве: 47.")});
    EXPECT_EQ(ProgramArchive()->Count(), 47);
}
