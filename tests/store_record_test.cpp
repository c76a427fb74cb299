#include "store/Cp1251.h"
#include "store/OrbADat.h"
#include "store/ResultRecord.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

class StoreRecords : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetDataModel();
        FixPcNow(QDateTime(QDate(2025, 6, 15), QTime(12, 0)));
    }
    void TearDown() override
    {
        FixPcNow({});
        ResetDataModel();
    }
};

// List 1, person 5, 5 March of year code 9, 10:15, 1.5 per mille.
constexpr ResultRecord Sample{{0x01, 0x05, 0x93, 0x2A, 0x8F, 0x0F}};

QStringList Columns(const ViewTexts &texts)
{
    return {texts.List, texts.Person, texts.Date, texts.Time, texts.Result};
}

ResultRecord WithDateCode(int listNo, int dateCode)
{
    ResultRecord record = Sample;
    record.bytes[0] = static_cast<uint8_t>(listNo);
    record.bytes[2] = static_cast<uint8_t>(dateCode);
    return record;
}

TEST_F(StoreRecords, SampleInBothWindows)
{
    ResultRecord flagged = Sample;   // the top bits of bytes 1 and 5 are not data
    flagged.bytes[1] |= 0xC0;
    flagged.bytes[5] |= 0xC0;
    Results[0] = flagged;
    ListNames[1] = ToCp1251("Цех сборки      ");
    PersonNames[1][5] = ToCp1251("Иванов И.И.     ");
    RefDateCode = 0x93;

    EXPECT_EQ(Columns(DecodeForView(0)),
              QStringList({"Цех сборки      ", "Иванов И.И.     ", " 5.03.2025", "10:15", "1.5"}));

    StatEntry stat;
    DecodeForStat(0, stat);
    EXPECT_EQ(std::tie(stat.ListNo, stat.PersonNo, stat.Result), std::tuple(1, 5, 15));
    EXPECT_EQ(stat.DateKey, 25 * 512 + 3 * 32 + 5);
    EXPECT_EQ(stat.TimeKey, 10 * 64 + 15);
    EXPECT_EQ(stat.PersonText, "Иванов И.И.     ");
    EXPECT_EQ(stat.DateText, "5.03.2025");
    EXPECT_EQ(stat.TimeText, "10:15");
    EXPECT_EQ(stat.ResultText, "1.5");
}

TEST_F(StoreRecords, AnonymousTestAndTheEarlyYears)
{
    Results[0].bytes = {0x00, 0x00, 0x01, 0x08, 0x85, 0x03};   // 1 Jan of code 0, 02:05, 0.3
    EXPECT_EQ(Columns(DecodeForView(0)),
              QStringList({QString(16, ' '), "Аноним          ", " 1.01.2016", "02:05", "0.3"}));

    StatEntry stat;
    DecodeForStat(0, stat);
    EXPECT_EQ(stat.ListText, "");
    EXPECT_EQ(stat.PersonText, "Аноним");
    EXPECT_EQ(stat.DateText, "1.01.2016");
    EXPECT_EQ(stat.TimeText, "2:05");
}

TEST_F(StoreRecords, LateHoursAndTheLastDayOfAMonth)
{
    // 31 March, 21:59: hour bits 4..2 are 5, bits 1..0 are 1.
    Results[0].bytes = {0x01, 0x05, 0x93, 0xFD, 0x7B, 0x0F};
    RefDateCode = 0x93;
    EXPECT_EQ(DecodeForView(0).Date, "31.03.2025");
    EXPECT_EQ(DecodeForView(0).Time, "21:59");
    StatEntry stat;
    DecodeForStat(0, stat);
    EXPECT_EQ(stat.TimeText, "21:59");
    EXPECT_EQ(stat.TimeKey, 21 * 64 + 59);
    EXPECT_EQ(stat.DateKey, DateKeyOf(2025, 3, 31));   // keys count full years
}

// The rule is one of reading: the stored bytes stay as the instrument wrote
// them, so that a later PC year reads them anew.
TEST_F(StoreRecords, YearCodeTenIsReadAsFourteenWithoutRewritingIt)
{
    FixPcNow(QDateTime(QDate(2024, 6, 15), QTime(12, 0)));
    Results[0] = WithDateCode(1, 0xA4);
    Results[1] = WithDateCode(1, 0xB4);
    ResultCount = 2;
    ScanResults();
    EXPECT_EQ(Results[0].DateCode(), 0xA4);
    EXPECT_EQ(Results[1].DateCode(), 0xB4);
    EXPECT_EQ(RefDateCode, 0xB4);

    RefDateCode = 0;
    EXPECT_EQ(DecodeForView(0).Date, " 5.04.2014");
    StatEntry stat;
    DecodeForStat(0, stat);
    EXPECT_EQ(stat.DateText, "5.04.2014");
    EXPECT_EQ(Results[0].DateCode(), 0xA4);

    FixPcNow(QDateTime(QDate(2026, 4, 5), QTime(9, 0)));
    EXPECT_EQ(DecodeForView(0).Date, " 5.04.2026");
}

// A code is one of the sixteen years up to the year after the PC's: an
// instrument's clock may be in the new year before the PC's is.
TEST_F(StoreRecords, YearCodesFollowThePcYear)
{
    EXPECT_EQ(YearOfCode(9, 2025), 2025);
    EXPECT_EQ(YearOfCode(10, 2025), 2026);
    EXPECT_EQ(YearOfCode(11, 2025), 2011);
    EXPECT_EQ(YearOfCode(0, 2025), 2016);
    EXPECT_EQ(YearOfCode(10, 2026), 2026);
    EXPECT_EQ(YearOfCode(11, 2026), 2027);
    EXPECT_EQ(YearOfCode(12, 2026), 2012);
    EXPECT_EQ(YearOfCode(15, 2032), 2031);
    EXPECT_EQ(YearOfCode(1, 2032), 2033);
    for (int pcYear = 2008; pcYear < 2060; ++pcYear)
        for (int code = 0; code < 16; ++code) {
            const int year = YearOfCode(code, pcYear);
            ASSERT_TRUE(year >= pcYear - 14 && year <= pcYear + 1 && YearCodeOf(year) == code) << pcYear << code;
        }

    FixPcNow(QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
    Results[0] = WithDateCode(1, 0xAC);
    ResultCount = 1;
    ScanResults();
    EXPECT_EQ(Results[0].DateCode(), 0xAC);
    EXPECT_EQ(RefDateCode, 0xAC);
    EXPECT_EQ(TodayDateCode(), 0xAC);
    EXPECT_EQ(DecodeForView(0).Date, " 5.12.2026");
    StatEntry stat;
    DecodeForStat(0, stat);
    EXPECT_EQ(stat.DateText, "5.12.2026");
    EXPECT_EQ(stat.DateKey, DateKeyOf(2026, 12, 5));
}

// Both date codes are read as full years, as the statistics window reads
// them: a month before the reference is stale however the year code wrapped.
TEST_F(StoreRecords, StaleMeansAnEarlierMonthInFullYears)
{
    struct Case {
        QDate pc;
        QDate record;
        QDate reference;
        bool stale;
    };
    const Case cases[] = {
        {{2026, 12, 8}, {2026, 12, 1}, {2026, 12, 31}, false},   // the same month
        {{2026, 12, 8}, {2026, 11, 30}, {2026, 12, 1}, true},    // the month before
        {{2026, 12, 8}, {2012, 1, 1}, {2026, 12, 1}, true},    // far back, a code above the reference
        {{2026, 12, 31}, {2027, 1, 1}, {2026, 12, 1}, false},    // the instrument's clock ahead at New Year
        {{2025, 6, 1}, {2026, 3, 1}, {2025, 6, 1}, false},       // the PC's clock a year behind
        {{2026, 12, 8}, {2023, 1, 5}, {2026, 12, 1}, true},
        {{2026, 12, 8}, {2021, 5, 5}, {2026, 12, 1}, true},
        {{2027, 1, 3}, {2026, 12, 31}, {2027, 1, 1}, true},      // across a year end
        {{2027, 1, 3}, {2027, 1, 2}, {2026, 12, 1}, false},
        {{2032, 1, 3}, {2031, 12, 31}, {2032, 1, 1}, true},      // code 15 before code 0
        {{2032, 1, 3}, {2032, 1, 2}, {2031, 12, 1}, false},
        {{2032, 1, 3}, {2030, 6, 1}, {2032, 1, 1}, true},
    };
    for (const Case &c : cases) {
        FixPcNow(QDateTime(c.pc, QTime(12, 0)));
        const int code = YearCodeOf(c.record.year()) * 16 + c.record.month();
        const int reference = YearCodeOf(c.reference.year()) * 16 + c.reference.month();
        EXPECT_EQ(IsStale(code, reference), c.stale) << c.record.toString().toStdString();
    }
    EXPECT_FALSE(IsStale(0x93, 0));   // nothing counted: no reference
}

TEST_F(StoreRecords, InvalidStaleAndImpossibleRowsAreBlank)
{
    RefDateCode = 0x95;
    Results[0] = WithDateCode(1, 0x93);
    Results[1] = WithDateCode(9, 0x95);
    Results[2] = WithDateCode(127, 0x95);
    Results[3] = WithDateCode(1, 0x96);
    Results[4] = WithDateCode(0, 0x90);   // month 0
    Results[5] = WithDateCode(0, 0x9D);   // month 13
    Results[6] = WithDateCode(1, 0x96);
    Results[6].bytes[3] &= 0x07;          // day 0
    const QStringList blanks = {QString(16, ' '), QString(15, ' '), QString(10, ' '),
                                QString(5, ' '), QString(3, ' ')};
    for (int slot : {0, 1, 2, 4, 5, 6, -1, ResultSlots})
        EXPECT_EQ(Columns(DecodeForView(slot)), blanks) << slot;
    EXPECT_EQ(DecodeForView(3).Date, " 5.06.2025");
}

// Lists 9..127 have no names; the statistics must not reach past list 8.
TEST_F(StoreRecords, StatisticsOfARecordWithoutAList)
{
    Results[0] = WithDateCode(100, 0x93);
    StatEntry stat;
    DecodeForStat(0, stat);
    EXPECT_EQ(stat.ListNo, 100);
    EXPECT_EQ(stat.ListText + stat.PersonText, "");
    EXPECT_EQ(stat.DateText, "5.03.2025");
}

// The count after a scan of `count` records.
int Scanned(int count)
{
    ResultCount = count;
    ScanResults();
    return ResultCount;
}

TEST_F(StoreRecords, ScanCutsAtTheFirstEndRecord)
{
    for (int r = 0; r < 50; ++r)
        Results[r] = WithDateCode(1, 0x90 + r % 10);
    Results[20].bytes[0] = 0xFF;
    Results[30].bytes[0] = 0x80;
    EXPECT_EQ(Scanned(50), 20);
    EXPECT_TRUE(EndFound);
    EXPECT_EQ(RefDateCode, Results[19].DateCode());

    Results[20].bytes[0] = Results[30].bytes[0] = 1;
    EXPECT_EQ(Scanned(50), 50);
    EXPECT_FALSE(EndFound);
    EXPECT_EQ(RefDateCode, Results[49].DateCode());

    EXPECT_EQ(Scanned(0), 0);
    EXPECT_EQ(RefDateCode, 0);

    // 0x80 is the first end mark; 0x7F is no record, but no end either.
    Results[10].bytes[0] = 0x7F;
    Results[12].bytes[0] = 0x80;
    EXPECT_EQ(Scanned(50), 12);
    EXPECT_TRUE(EndFound);
}

TEST_F(StoreRecords, ScanNeverReadsBeyondTheSlots)
{
    Results.fill(Sample);
    ResultCount = 60000;
    ScanResults();
    EXPECT_EQ(ResultCount, ResultSlots);
    EXPECT_FALSE(EndFound);
}

} // namespace
