// The results window: "Старт" and "Шаг" against an instrument on the line,
// how a step takes and ends, the grid, the daily text file, and activation.

#include "ExchangeRig.h"
#include "FadingDevice.h"
#include "TestRecords.h"

#include "exchange/ExchVars.h"
#include "exchange/Transfers.h"
#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"
#include "views/Res.h"
#include "views/Stat.h"
#include "views/ResultGrid.h"
#include "views/ResultSteps.h"
#include "shell/Message.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QTableView>
#include <QToolButton>
#include <gtest/gtest.h>
#include <utility>

namespace {

const QDateTime Now(QDate(2026, 12, 8), QTime(10, 0));
const QDateTime LastMonth(QDate(2026, 11, 20), QTime(9, 30));

// `count` tests of this month, one a minute from 8:00 on 1 December.
std::vector<ResultRecord> TestsOfThisMonth(int count, int list = 1)
{
    std::vector<ResultRecord> records;
    for (int i = 0; i < count; ++i)
        records.push_back(TestRecord(list, i % 64, QDateTime(QDate(2026, 12, 1), QTime(8, 0)).addSecs(60 * i), i % 7));
    return records;
}

std::vector<ResultRecord> TestsOf(const QDateTime &first, int count, int list)
{
    std::vector<ResultRecord> records;
    for (int i = 0; i < count; ++i)
        records.push_back(TestRecord(list, i, first.addSecs(60 * i)));
    return records;
}

std::vector<ResultRecord> Joined(std::initializer_list<std::vector<ResultRecord>> parts)
{
    std::vector<ResultRecord> all;
    for (const auto &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const QDateTime November(QDate(2026, 11, 2), QTime(8, 0));
const QDateTime December(QDate(2026, 12, 2), QTime(8, 0));

QByteArray Slots(int first, int count)
{
    QByteArray bytes;
    for (int slot = first; slot < first + count; ++slot)
        bytes += RecordBytes(Results[slot]);
    return bytes;
}

QByteArray PageRead(int record, int count)
{
    const int address = 9216 + 6 * record;
    return Hex("3A 06 01") + char(address & 0xFF) + char(address >> 8) + char(6 * count);
}

QByteArray RecordRead(int record)
{
    return PageRead(record, 1);
}

// Writes `records` into the instrument from record `first` on, as tests made
// since the last read.
bool MakeTests(int first, const std::vector<ResultRecord> &records)
{
    FillBuffer(RecordBytes(records));
    return WriteMemory(9216 + 6 * first, 6 * int(records.size()));
}

QStringList Row(const TResF &window, int row)
{
    QStringList cells;
    for (int column = 0; column < GridColumns; ++column)
        cells << window.Grid().Cell(row, column);
    return cells;
}

class ResultsWindow : public ::testing::Test {
protected:
    explicit ResultsWindow(const RigSetup &setup = {}) : rig(setup) { ResetDataModel(); }
    ~ResultsWindow() override { ResetDataModel(); }

    void SetUp() override { ASSERT_TRUE(rig.ready()); }

    // The window as the operator opens it, on the store of the files.
    void Open()
    {
        window.show();
        QCoreApplication::processEvents();
        rig.messages.clear();
    }

    // Frames the instrument received since the last call.
    std::vector<QByteArray> NewFrames()
    {
        const std::vector<QByteArray> frames = rig.frames();
        const auto seen = std::exchange(m_seen, frames.size());
        return {frames.begin() + std::ptrdiff_t(seen), frames.end()};
    }

    // The program started anew on the files as they are.
    void Restart()
    {
        window.hide();
        ResetDataModel();
        Open();
    }

    FixedToday today{Now};
    ExchangeRig rig;
    TResF window;

private:
    size_t m_seen = 0;
};

class ResultsOfTheInstrument : public ResultsWindow {
protected:
    ResultsOfTheInstrument()
        : ResultsWindow({.memory = MemoryWithRecords([] {
              auto records = TestsOfThisMonth(45);
              records[3].bytes[0] = 12;   // not a record: shown blank
              records.push_back(EndRecord());
              return records;
          }())})
    {
    }
};

TEST_F(ResultsOfTheInstrument, StartStoresTheFirst41RecordsAsRead)
{
    Open();
    window.Key_InputStart->click();

    EXPECT_EQ(rig.frames(), std::vector{PageRead(0, 41)});
    EXPECT_EQ(ResultCount, 41);
    EXPECT_EQ(Slots(0, 41), RecordBytes(TestsOfThisMonth(45)).left(246).replace(18, 1, "\x0C"));
    EXPECT_EQ(Results[41].ListNo(), 0xFF);
    EXPECT_EQ(RefDateCode, 0xAC);   // December of 2026, year code 10
    EXPECT_EQ(Row(window, 1).mid(3), QStringList({" 1.12.2026", "08:00", "0.0"}));
    EXPECT_EQ(Row(window, 4), QStringList({"   4", QString(16, ' '), QString(15, ' '), QString(10, ' '),
                                           QString(5, ' '), QString(3, ' ')}));

    // Saved at once, count and all.
    const QByteArray file = ReadWholeFile(ResultsFileName);
    EXPECT_EQ(file.left(2), Hex("29 00"));
    EXPECT_EQ(file.mid(60, 246), Slots(0, 41));
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

TEST_F(ResultsOfTheInstrument, StepReadsPageAfterPageUntilTheEndRecord)
{
    Open();
    window.Key_StepInput->click();

    EXPECT_EQ(rig.frames(), (std::vector{PageRead(0, 41), PageRead(41, 41)}));
    EXPECT_EQ(ResultCount, 44);   // the record of list 12 is left out
    EXPECT_TRUE(EndFound);
    EXPECT_EQ(Results[3].ListNo(), 1);
    EXPECT_EQ(Row(window, 44)[2].trimmed(), FromCp1251(PersonNames[1][44]).trimmed());
    EXPECT_TRUE(rig.messages.texts().isEmpty());
    // The new tests stand in view.
    const QRect lastTest = window.GridRes->visualRect(window.GridRes->model()->index(43, 0));
    EXPECT_TRUE(window.GridRes->viewport()->rect().contains(lastTest));

    window.Key_ExitClick();
    EXPECT_EQ(ReadWholeFile(ResultsFileName).left(2), Hex("2C 00"));
}

class ResultsOfTwoMonths : public ResultsWindow {
protected:
    ResultsOfTwoMonths()
        : ResultsWindow({.memory = MemoryWithRecords([] {
              std::vector<ResultRecord> records(5, TestRecord(2, 1, LastMonth));
              for (const ResultRecord &record : TestsOfThisMonth(10))
                  records.push_back(record);
              records.push_back(TestRecord(3, 3, LastMonth));
              records.push_back(EndRecord());
              return records;
          }())})
    {
    }
};

// The first page of a step takes only this month's tests; later records are
// judged against the last one taken.
TEST_F(ResultsOfTwoMonths, FirstPageOfAStepSkipsEarlierMonths)
{
    Open();
    window.Key_StepInput->click();
    EXPECT_EQ(rig.frames().size(), 1u);
    EXPECT_EQ(ResultCount, 10);
    EXPECT_EQ(Slots(0, 10), RecordBytes(TestsOfThisMonth(10)));
    EXPECT_EQ(Results[10].ListNo(), 0xFF);
}

class ResultsOnAFadingLine : public ResultsWindow {
protected:
    ResultsOnAFadingLine() : device("COM2", MemoryWithRecords(TestsOfThisMonth(100)), 1)
    {
        PortName = QStringLiteral("COM2");
    }

    FadingDevice device;
};

TEST_F(ResultsOnAFadingLine, StepStopsAtTheFirstPageThatDoesNotCome)
{
    Open();
    window.Key_StepInput->click();

    // One page read, then one request sent three times.
    EXPECT_EQ(device.requests(), (std::vector{PageRead(0, 41), PageRead(41, 41), PageRead(41, 41), PageRead(41, 41)}));
    EXPECT_EQ(ResultCount, 41);
    EXPECT_EQ(Slots(0, 41), RecordBytes(TestsOfThisMonth(41)));
    EXPECT_EQ(Results[41].ListNo(), 0xFF);
    // One box; the note of what was left stands beside the buttons.
    EXPECT_EQ(rig.messages.texts(), QStringList({"Нет связи с прибором"}));
    EXPECT_TRUE(window.LabelStep->text().endsWith(StepEndReport(StepEnd::NoAnswer)));
}

TEST_F(ResultsOnAFadingLine, StartWithoutAnAnswerKeepsTheStore)
{
    Results[0] = TestRecord(4, 4, LastMonth);
    ResultCount = 1;
    ReadMark = InstrumentReadMark{};
    ASSERT_TRUE(Report(SaveResults()));
    Open();
    const QStringList row = Row(window, 1);

    // The device answers this page, so make it fail for the start.
    window.Key_StepInput->click();
    rig.messages.clear();
    ASSERT_EQ(ResultCount, 42);
    const QByteArray before = ReadWholeFile(ResultsFileName);
    const int refDateCode = RefDateCode;
    MessageRecorder yes(QMessageBox::Yes);
    window.Key_InputStart->click();

    EXPECT_EQ(ResultCount, 42);
    EXPECT_EQ(RefDateCode, refDateCode);
    EXPECT_EQ(Results[0], TestRecord(4, 4, LastMonth));
    EXPECT_EQ(Row(window, 1), row);
    EXPECT_EQ(ReadWholeFile(ResultsFileName), before);
    EXPECT_EQ(yes.texts(), (QStringList{StartQuestion(42), "Нет связи с прибором"}));
}

class ResultsOfAFullMemory : public ResultsWindow {
protected:
    ResultsOfAFullMemory() : ResultsWindow({.memory = MemoryWithRecords(TestsOfThisMonth(InstrumentRecords))}) {}
};

TEST_F(ResultsOfAFullMemory, StepEndsAtTheLastRecordOfTheInstrument)
{
    Open();
    window.Key_StepInput->click();

    const auto frames = rig.frames();
    ASSERT_EQ(frames.size(), 37u);
    EXPECT_EQ(frames[35], PageRead(1435, 41));
    EXPECT_EQ(frames[36], PageRead(1476, 24));   // records 1476..1499, the last at 18210
    EXPECT_EQ(ResultCount, InstrumentRecords);
    EXPECT_FALSE(EndFound);
    EXPECT_EQ(rig.messages.texts(), QStringList{StepEndReport(StepEnd::MemoryEnd)});

    // The store has room, the instrument no more records: the last record
    // is checked, and nothing more read.
    NewFrames();
    window.Key_StepInput->click();
    EXPECT_EQ(NewFrames(), std::vector{RecordRead(1499)});

    // Erased elsewhere, with three new tests: asked about, not "all read".
    ASSERT_TRUE(MakeTests(0, TestsOf(December.addDays(5), 3, 4)));
    ASSERT_TRUE(MakeTests(1499, {EndRecord()}));
    rig.messages.clear();
    window.Key_StepInput->click();
    EXPECT_EQ(rig.messages.texts(), QStringList{ChangedQuestion()});
}

TEST_F(ResultsOfAFullMemory, StepNeverCopiesPastTheLastSlot)
{
    for (int slot = 0; slot < 9290; ++slot)
        Results[slot] = TestRecord(1, 1, Now);
    ResultCount = 9290;
    ReadMark = InstrumentReadMark{InstrumentRecords, TestsOfThisMonth(InstrumentRecords).back()};
    ASSERT_TRUE(Report(SaveResults()));
    Open();
    window.Key_StepInput->click();

    EXPECT_EQ(rig.frames(), std::vector{RecordRead(1499)});
    EXPECT_EQ(ResultCount, 9290);
    EXPECT_EQ(rig.messages.texts(), QStringList{StepEndReport(StepEnd::MemoryEnd)});

    // A page taken into the last free slots stops at slot 9299.
    const QByteArray page = RecordBytes(TestsOfThisMonth(41));
    RefDateCode = 0;
    const PageTake take = TakePage(reinterpret_cast<const uint8_t *>(page.constData()), 41);
    EXPECT_EQ(take.stored, 10);
    EXPECT_TRUE(take.full);
    EXPECT_EQ(take.stop, 10);
    EXPECT_EQ(ResultCount, ResultSlots);
    rig.messages.clear();
    window.Key_StepInput->click();
    EXPECT_EQ(rig.messages.texts(), QStringList{StepEndReport(StepEnd::StoreFull)});
}

TEST(ResultPage, TwoTestsOfTheSameBytesReadTogetherAreBothKept)
{
    // One person tested twice in a minute with the same result: both are tests.
    const ResultRecord twin = TestRecord(0, 0, Now);
    const QByteArray page = RecordBytes({twin, twin, EndRecord()});
    const auto *bytes = reinterpret_cast<const uint8_t *>(page.constData());
    RefDateCode = 0;
    for (const bool storedBefore : {false, true}) {
        Results[0] = twin;
        ResultCount = storedBefore ? 1 : 0;
        StoredTests stored = StoredTestsNow();
        const PageTake take = TakePage(bytes, 3, &stored);
        EXPECT_EQ(take.stored, storedBefore ? 1 : 2);
        EXPECT_EQ(take.repeated, storedBefore ? 1 : 0);
    }
}

TEST_F(ResultsWindow, OpeningWithoutAFileShowsNumberedBlankRows)
{
    ResultCount = 0;
    window.show();
    QCoreApplication::processEvents();

    EXPECT_EQ(rig.messages.texts().filter("Файл orbisk_a.dat  не найден.").size(), 1);
    const QByteArray file = ReadWholeFile(ResultsFileName);
    ASSERT_EQ(file.size(), ResultsFileSize);
    for (int slot : {0, 4500, 9000})
        EXPECT_EQ(uint8_t(file[60 + 6 * slot]), 0xFF) << slot;
    EXPECT_EQ(window.GridRes->model()->rowCount(), GridDataRows);
    EXPECT_EQ(Row(window, 0), QStringList({" №  ", "Список", "ФИО", "Дата", "Время", "Рез."}));
    EXPECT_EQ(Row(window, 9000)[0], "9000");
    EXPECT_EQ(Row(window, 9001)[0], "");
    EXPECT_EQ(window.GridRes->columnWidth(1), 139);
}

// Coming back from the exchange window or a message box must not reload the
// window in the middle of a step; opening it again does.
TEST_F(ResultsWindow, OnlyAnOpeningReloadsTheStore)
{
    Results[0] = TestRecord(0, 0, Now, 15);
    ResultCount = 1;
    ASSERT_TRUE(Report(SaveResults()));
    Open();
    ASSERT_EQ(Row(window, 1).mid(2), QStringList({"Аноним          ", " 8.12.2026", "10:00", "1.5"}));

    Results[0] = EndRecord();
    ResultCount = 0;
    ASSERT_TRUE(Report(SaveResults()));
    Results[0] = TestRecord(0, 0, LastMonth);
    ResultCount = 1;
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&window, &activate);
    QCoreApplication::processEvents();
    EXPECT_EQ(ResultCount, 1);
    EXPECT_EQ(Results[0], TestRecord(0, 0, LastMonth));

    window.hide();
    window.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(ResultCount, 0);
    EXPECT_EQ(Row(window, 1)[2].trimmed(), "");
}


// 41 tests taken by "Старт", then 10 of last month and 10 of this month.
class ResultsAcrossAMonth : public ResultsWindow {
protected:
    ResultsAcrossAMonth()
        : ResultsWindow({.memory = MemoryWithRecords(
                             Joined({TestsOf(November, 41, 1), TestsOf(November.addDays(9), 10, 2),
                                     TestsOf(December, 10, 3)}))})
    {
    }
};

// Each step reads on from the record after the last it read, having checked
// that record again: nothing is stored twice, every test of this month once.
TEST_F(ResultsAcrossAMonth, StepsReadOnFromWhereTheLastStopped)
{
    Open();
    window.Key_InputStart->click();
    NewFrames();
    window.Key_StepInput->click();
    EXPECT_EQ(NewFrames(), (std::vector{RecordRead(40), PageRead(41, 41)}));
    EXPECT_EQ(ResultCount, 51);
    EXPECT_EQ(window.LabelStep->text(), "Принято записей: 10.\nПропущено тестов прошлых месяцев: 10.");

    const auto made = TestsOf(December.addDays(5), 3, 4);
    ASSERT_TRUE(MakeTests(61, made));
    NewFrames();
    window.Key_StepInput->click();
    EXPECT_EQ(NewFrames(), (std::vector{RecordRead(60), PageRead(61, 41)}));
    EXPECT_EQ(ResultCount, 54);
    EXPECT_EQ(Slots(41, 13), RecordBytes(Joined({TestsOf(December, 10, 3), made})));
    EXPECT_EQ(window.LabelStep->text(), "Принято записей: 3.");

    // Into the next month: the first page takes only that month's tests.
    FixPcNow(QDateTime(QDate(2027, 1, 2), QTime(9, 0)));
    const auto late = Joined({TestsOf(December.addDays(29), 1, 5), TestsOf(December.addDays(31), 2, 6)});
    ASSERT_TRUE(MakeTests(64, late));
    window.Key_StepInput->click();
    EXPECT_EQ(ResultCount, 56);
    EXPECT_EQ(Slots(54, 2), RecordBytes(TestsOf(December.addDays(31), 2, 6)));
    EXPECT_EQ(window.LabelStep->text(), "Принято записей: 2.\nПропущено тестов прошлых месяцев: 1.");
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

// A changed instrument is asked about, "Нет" first: "Нет" takes nothing,
// "Да" reads it from its first record and keeps every stored test.
TEST_F(ResultsAcrossAMonth, AStepOnAChangedInstrumentAsksFirst)
{
    Open();
    window.Key_InputStart->click();
    const QByteArray file = ReadWholeFile(ResultsFileName);
    const QByteArray stored = Slots(0, 41);
    const auto other = TestsOf(December.addDays(3), 2, 7);
    ASSERT_TRUE(MakeTests(0, other));
    ASSERT_TRUE(MakeTests(40, {TestRecord(7, 7, December)}));   // not the record read
    NewFrames();
    window.Key_StepInput->click();

    EXPECT_EQ(NewFrames(), std::vector{RecordRead(40)});
    ASSERT_EQ(rig.messages.messages().size(), 1u);
    EXPECT_EQ(rig.messages.messages()[0].text, ChangedQuestion());
    EXPECT_EQ(rig.messages.messages()[0].defaultButton, QMessageBox::No);
    EXPECT_EQ(ResultCount, 41);
    EXPECT_TRUE(window.LabelStep->text().endsWith(StepEndReport(StepEnd::Changed)));
    window.Key_ExitClick();
    EXPECT_EQ(ReadWholeFile(ResultsFileName), file);

    window.show();
    QCoreApplication::processEvents();
    MessageRecorder yes(QMessageBox::Yes);
    window.Key_StepInput->click();
    EXPECT_EQ(NewFrames(), (std::vector{RecordRead(40), PageRead(0, 41), PageRead(41, 41)}));
    EXPECT_EQ(yes.texts(), QStringList{ChangedQuestion()});
    EXPECT_EQ(Slots(0, 41), stored);
    EXPECT_EQ(Slots(41, 3), RecordBytes(Joined({other, {TestRecord(7, 7, December)}})));
    EXPECT_EQ(ResultCount, 54);   // and the ten tests of this month, once each
    EXPECT_TRUE(window.LabelStep->text().contains("Пропущено уже принятых тестов: 38."));
}

// "Старт" on a filled store names what it would discard and changes nothing
// at "Нет".
TEST_F(ResultsAcrossAMonth, StartOnAFilledStoreAsksFirst)
{
    Open();
    window.Key_StepInput->click();
    const int stored = ResultCount;
    ASSERT_GT(stored, 0);
    window.Key_ExitClick();
    const QByteArray file = ReadWholeFile(ResultsFileName);
    window.show();
    QCoreApplication::processEvents();
    rig.messages.clear();
    NewFrames();
    window.Key_InputStart->click();

    ASSERT_EQ(rig.messages.messages().size(), 1u);
    EXPECT_EQ(rig.messages.messages()[0].text, StartQuestion(stored));
    EXPECT_TRUE(StartQuestion(stored).contains(QStringLiteral("(%1)").arg(stored)));
    EXPECT_EQ(rig.messages.messages()[0].defaultButton, QMessageBox::No);
    EXPECT_TRUE(NewFrames().empty());
    EXPECT_EQ(ResultCount, stored);
    EXPECT_EQ(ReadWholeFile(ResultsFileName), file);
}

class ResultsOfFewTests : public ResultsWindow {
protected:
    ResultsOfFewTests() : ResultsWindow({.memory = MemoryWithRecords(TestsOf(December, 10, 1))}) {}
};

// "Старт" on fewer than 41 records reads on from the first end record; the
// mark survives a restart, and a file without one reads from the first
// record, taking nothing twice.
TEST_F(ResultsOfFewTests, StepAfterStartAndAfterARestart)
{
    Open();
    window.Key_InputStart->click();
    ASSERT_TRUE(MakeTests(10, TestsOf(December.addDays(1), 3, 2)));
    NewFrames();
    window.Key_StepInput->click();
    EXPECT_EQ(NewFrames(), (std::vector{RecordRead(9), PageRead(10, 41)}));
    EXPECT_EQ(ResultCount, 13);
    EXPECT_EQ(Slots(0, 13), RecordBytes(Joined({TestsOf(December, 10, 1), TestsOf(December.addDays(1), 3, 2)})));
    EXPECT_EQ(Row(window, 13)[2].trimmed(), FromCp1251(PersonNames[2][2]).trimmed());

    window.Key_ExitClick();
    Restart();
    ASSERT_TRUE(MakeTests(13, TestsOf(December.addDays(2), 1, 3)));
    NewFrames();
    window.Key_StepInput->click();
    EXPECT_EQ(NewFrames(), (std::vector{RecordRead(12), PageRead(13, 41)}));
    EXPECT_EQ(ResultCount, 14);

    window.Key_ExitClick();
    QByteArray file = ReadWholeFile(ResultsFileName);
    ASSERT_TRUE(WriteWholeFile(ResultsFileName, file.replace(2, 58, QByteArray(58, '\0'))));
    Restart();
    window.Key_StepInput->click();
    EXPECT_EQ(NewFrames(), std::vector{PageRead(0, 41)});
    EXPECT_EQ(ResultCount, 14);
    EXPECT_TRUE(rig.messages.texts().isEmpty());
    // A step that took nothing keeps its place with the record before it.
    window.Key_ExitClick();
    EXPECT_EQ(ReadWholeFile(ResultsFileName).mid(5, 7), Hex("01") + RecordBytes(Results[13]));
}

// A person tested again within the minute, with the same result, after the
// first test was read: the second test is a test of its own. And a step is
// in the file before the window closes, so a program killed after it does
// not lose what the operator saw taken.
TEST_F(ResultsOfFewTests, AStepKeepsATestOfTheSameBytesAsTheLastReadAndSavesAtOnce)
{
    Open();
    window.Key_StepInput->click();
    ASSERT_EQ(ResultCount, 10);
    ASSERT_TRUE(MakeTests(10, {Results[9]}));
    window.Key_StepInput->click();
    EXPECT_EQ(ResultCount, 11);
    EXPECT_EQ(Slots(9, 2), RecordBytes({Results[9], Results[9]}));
    EXPECT_EQ(window.LabelStep->text(), "Принято записей: 1.");

    const auto results = Results;
    ResetDataModel();
    ASSERT_TRUE(Report(LoadResults()));
    EXPECT_EQ(ResultCount, 11);
    EXPECT_EQ(Results, results);
    EXPECT_EQ(NextInstrumentRecord(), 11);
}

// A file without a mark (of an earlier version) gives no place in the
// instrument: its count may hold tests of a memory erased since. A step reads
// such an instrument from its first record and takes only what the store lacks.
TEST_F(ResultsOfFewTests, AFileWithoutAMarkIsReadFromTheFirstRecord)
{
    const auto erasedSince = TestsOf(November, 5, 2);
    const auto read = TestsOf(December, 3, 1);
    std::copy(erasedSince.begin(), erasedSince.end(), Results.begin());
    std::copy(read.begin(), read.end(), Results.begin() + 5);
    ResultCount = 8;
    ASSERT_TRUE(Report(SaveResults()));
    Open();
    window.Key_StepInput->click();

    EXPECT_EQ(NewFrames(), std::vector{PageRead(0, 41)});
    EXPECT_EQ(ResultCount, 15);
    EXPECT_EQ(Slots(8, 7), RecordBytes(TestsOf(December, 10, 1)).mid(18));
    EXPECT_EQ(window.LabelStep->text(), "Принято записей: 7.\nПропущено уже принятых тестов: 3.");
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

class ResultsOfEveryList : public ResultsWindow {
protected:
    ResultsOfEveryList()
        : ResultsWindow({.memory = MemoryWithRecords({TestRecord(0, 0, December), TestRecord(8, 63, December),
                                                      TestRecord(9, 1, December), TestRecord(127, 1, December),
                                                      TestRecord(8, 0, December), TestRecord(0, 5, December)})})
    {
    }
};

// Lists 0 and 8 are the ends of the accepted range.
TEST_F(ResultsOfEveryList, StepKeepsListsZeroToEight)
{
    Open();
    window.Key_StepInput->click();
    EXPECT_EQ(ResultCount, 4);
    EXPECT_EQ(Slots(0, 4), RecordBytes({TestRecord(0, 0, December), TestRecord(8, 63, December),
                                        TestRecord(8, 0, December), TestRecord(0, 5, December)}));
    EXPECT_EQ(window.LabelStep->text(), "Принято записей: 4.\nПропущено записей с неверным номером списка: 2.");
}

// A results file read with the PC clock in 2024: code 10 is shown as 2014,
// and neither the store nor the file change for it.
TEST_F(ResultsWindow, OpeningAndClosingLeavesTheFileAsItWas)
{
    FixPcNow(QDateTime(QDate(2024, 1, 1), QTime(9, 0)));
    const ResultRecord test = TestRecord(1, 2, QDateTime(QDate(2026, 2, 10), QTime(9, 0)));
    ASSERT_EQ(test.YearCode(), 10);
    Results[0] = test;
    ResultCount = 1;
    ASSERT_TRUE(Report(SaveResults()));
    const QByteArray file = ReadWholeFile(ResultsFileName);

    Open();
    EXPECT_EQ(Row(window, 1)[3], "10.02.2014");
    EXPECT_EQ(Results[0], test);
    // Not even tried: a save would be refused and reported.
    ASSERT_TRUE(QFile::setPermissions(ResultsFileName, QFile::ReadOwner));
    window.Key_ExitClick();
    EXPECT_EQ(ReadWholeFile(ResultsFileName), file);
    EXPECT_TRUE(rig.messages.texts().isEmpty());
}

// The statistics window, opened first on a new directory, makes a results
// file of empty slots: none of them is a test.
TEST_F(ResultsWindow, AFreshDirectoryShowsNoRows)
{
    TStatF stat;
    stat.show();
    QCoreApplication::processEvents();
    stat.hide();
    ASSERT_TRUE(QFile::exists(ResultsFileName));
    Open();
    for (int row = 1; row <= GridDataRows; ++row)
        ASSERT_EQ(Row(window, row).mid(1).join("").trimmed(), "") << row;

    // Nor is a slot past the count, whatever it holds.
    Results[0] = TestRecord(1, 1, Now);
    ASSERT_TRUE(Report(SaveResults()));
    Restart();
    EXPECT_EQ(Row(window, 1).mid(1).join("").trimmed(), "");
}

TEST_F(ResultsOfFewTests, AnUnreadableFileKeepsTheTestsReadSinceStart)
{
    Open();
    window.Key_StepInput->click();
    const int stored = ResultCount;
    ASSERT_GT(stored, 0);
    window.Key_ExitClick();
    ASSERT_TRUE(QFile::remove(ResultsFileName));
    ASSERT_TRUE(QFile::link("/proc/self/mem", ResultsFileName));

    window.hide();
    Open();
    EXPECT_EQ(ResultCount, 10);
    EXPECT_EQ(Slots(0, 10), RecordBytes(TestsOf(December, 10, 1)));
    EXPECT_EQ(Row(window, 10)[3], " 2.12.2026");
}

// The instrument's clock a few minutes ahead at New Year: its tests of the
// new year are taken in their year, and the tally says why they are ahead.
TEST_F(ResultsOfFewTests, TestsOfTheNextYearAreTakenAndNamed)
{
    FixPcNow(QDateTime(QDate(2026, 12, 31), QTime(23, 40)));
    Open();
    window.Key_StepInput->click();
    const auto newYear = TestsOf(QDateTime(QDate(2027, 1, 1), QTime(0, 5)), 2, 5);
    ASSERT_TRUE(MakeTests(10, newYear));
    window.Key_StepInput->click();

    EXPECT_EQ(ResultCount, 12);
    EXPECT_EQ(Slots(10, 2), RecordBytes(newYear));
    EXPECT_EQ(Row(window, 12)[3], " 1.01.2027");
    EXPECT_EQ(window.LabelStep->text(),
              "Принято записей: 2.\nТестов с датой позже сегодняшней: 2 (часы компьютера отстают?).");
}

class ResultsBehindAnEndRecord : public ResultsWindow {
protected:
    ResultsBehindAnEndRecord()
        : ResultsWindow({.memory = MemoryWithRecords(
                             Joined({TestsOf(December, 3, 1), {EndRecord()}, TestsOf(December, 2, 2)}))})
    {
    }
};

// "Старт" shows what stands behind an end record; the step's scan cuts the
// count there, and those rows go blank, as the export leaves them out.
TEST_F(ResultsBehindAnEndRecord, RowsPastTheCountAreRedrawn)
{
    Open();
    window.Key_InputStart->click();
    ASSERT_EQ(Row(window, 5)[3], " 2.12.2026");
    window.Key_StepInput->click();
    EXPECT_EQ(ResultCount, 3);
    for (int row = 4; row <= StartRecords; ++row)
        ASSERT_EQ(Row(window, row).mid(1).join("").trimmed(), "") << row;
}

TEST(DailyFile, HeaderAloneIs62Bytes)
{
    ResultsGridModel grid;
    grid.Reset();
    EXPECT_EQ(DailyFileText(grid, 0), ToCp1251(" №    Список          ФИО             Дата        Время Рез.\r\n"));
}

TEST(DailyFile, RowsAreFixedFieldsInCp1251)
{
    FixedToday today(Now);
    ResetDataModel();
    ListNames[2] = ToCp1251("Охрана          ");
    PersonNames[2][7] = ToCp1251("Константинопольс");   // 16 characters: no gap before the date
    Results[0] = TestRecord(2, 7, QDateTime(QDate(2026, 12, 5), QTime(7, 5)), 3);
    Results[1] = TestRecord(20, 7, Now);
    ResultCount = 2;
    RefDateCode = 0xAC;
    ResultsGridModel grid;
    grid.Reset();
    grid.ShowSlots(0, 2);

    const QByteArray text = DailyFileText(grid, 2);
    const QList<QByteArray> lines = text.split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[1], ToCp1251("   1  Охрана          Константинопольс 5.12.2026  07:05 0.3 \r"));
    EXPECT_EQ(lines[2], ToCp1251("   2") + QByteArray(56, ' ') + '\r');
    EXPECT_EQ(text.size(), 3 * 62);
    EXPECT_EQ(uint8_t(lines[1][6]), 0xCE);   // "О" in CP1251
    ResetDataModel();
}

// Slots 9001..9299 have no grid row; their tests are in the file all the same.
TEST(DailyFile, HoldsEveryCountedTest)
{
    FixedToday today(Now);
    ResetDataModel();
    RefDateCode = 0xAC;
    for (int slot = 0; slot < ResultSlots; ++slot)
        Results[slot] = TestRecord(1, 0, QDateTime(QDate(2026, 12, 5), QTime(7, 5)), slot % 10);
    ResultCount = ResultSlots;
    ResultsGridModel grid;
    grid.Reset();
    grid.ShowSlots(0, ResultCount);

    const QList<QByteArray> lines = DailyFileText(grid, ResultCount).split('\n');
    ASSERT_EQ(lines.size(), 1 + ResultSlots + 1);
    EXPECT_EQ(lines[9001].mid(6), lines[1].mid(6));
    EXPECT_EQ(lines[9002].left(6), "9002  ");
    EXPECT_EQ(lines[9300], QByteArray(lines[10]).replace(0, 6, "9300  "));
    ResetDataModel();
}

} // namespace
