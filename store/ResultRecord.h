#pragma once
// The instrument's packed six-byte breath-test record. Records are kept
// exactly as the instrument wrote them, in memory, on disk and in the
// instrument; they are decoded only to be shown or searched.

#include <QDate>
#include <QString>
#include <array>
#include <cstdint>

struct ResultRecord {
    std::array<uint8_t, 6> bytes{};

    // 0 = anonymous test, 1..8 = person list, 9..127 = not a record,
    // 128 and above = end of data (erased memory and empty slots hold 0xFF).
    int ListNo() const { return bytes[0]; }
    int PersonNo() const { return bytes[1] & 0x3F; }
    int DateCode() const { return bytes[2]; }
    int YearCode() const { return bytes[2] >> 4; }
    int Month() const { return bytes[2] & 0x0F; }
    int Day() const { return bytes[3] >> 3; }
    int Hour() const { return (bytes[3] & 0x07) * 4 + (bytes[4] >> 6); }
    int Minute() const { return bytes[4] & 0x3F; }
    int Result() const { return bytes[5] & 0x3F; }   // tenths of a per mille

    // Orders records of one day in time: hour x 64 + minute.
    int TimeKey() const { return (bytes[3] & 0x07) * 256 + bytes[4]; }

    bool IsEnd() const { return bytes[0] >= 0x80; }

    bool operator==(const ResultRecord &) const = default;
};
static_assert(sizeof(ResultRecord) == 6);

// The five texts of a row of the results grid.
struct ViewTexts {
    QString List;
    QString Person;
    QString Date;
    QString Time;
    QString Result;
};

// One entry of the statistics tables.
struct StatEntry {
    int ListNo = 0;
    int PersonNo = 0;
    int DateKey = 0;
    int TimeKey = 0;
    int Result = 0;
    QString ListText;
    QString PersonText;
    QString DateText;
    QString TimeText;
    QString ResultText;
};

// The instrument keeps a year as (year - 2000) mod 16. A code stands for the
// one year of the sixteen from the PC's year `pcYear` - 14 to `pcYear` + 1
// that gives it: in 2026 the codes 11..15 are 2011..2015 and 0..10 are
// 2016..2026, code 11 is 2027; so a test made just after New Year by an
// instrument whose clock is ahead of the PC's is read in its own year. Both
// windows read years this way, for texts and for search keys.
int YearOfCode(int yearCode, int pcYear);
int YearCodeOf(int year);

// Orders records in time by full years: (year - 2000) x 512 + month x 32 + day.
int DateKeyOf(int year, int month, int day);
int RecordDateKey(const ResultRecord &record);

// Until 2024, year code 10 is read as 14. From 2025 on code 10 is 2025 or
// 2026 (in 2025 a year ahead of the PC). The stored bytes are never changed for it.
int NormaliseYear(int yearCode);

// The year a record stands for under both rules above, the one year rule of
// every window: for texts, search keys and the judging of stale records.
int RecordYear(const ResultRecord &record);

// A date that no calendar holds: month 0 or 13..15, or day 0.
bool HasImpossibleDate(const ResultRecord &record);

// Refreshes TodayYear2, TodayMonth and TodayDay from the date and returns the
// date code of its month: the year's code x 16 + month.
int TodayDateCode();
int TodayDateCode(const QDate &today);

// A record dated in a month before the reference month is stale; both date
// codes are read with the one year rule. A reference without a real month
// (code 0 when nothing has been counted) makes nothing stale.
bool IsStale(int dateCode, int reference);

// Cuts ResultCount at the first end record (setting EndFound) and leaves the
// date code of the last counted record in RefDateCode.
void ScanResults();

// Texts of slot `slot` for the results grid; invalid and stale records,
// records of impossible dates, and slots outside Results, give blanks of the
// columns' widths.
ViewTexts DecodeForView(int slot);

// Fills `entry` from slot `slot` for the statistics tables.
void DecodeForStat(int slot, StatEntry &entry);
