#include "store/ResultRecord.h"

#include "store/Cp1251.h"
#include "store/OrbACfg.h"
#include "store/OrbADat.h"

#include <algorithm>

namespace {

const QString AnonymousName = QStringLiteral("Аноним");

bool IsSlot(int slot)
{
    return slot >= 0 && slot < ResultSlots;
}

bool HasNames(const ResultRecord &record)
{
    return record.ListNo() >= 1 && record.ListNo() <= ListCount;
}

QString ListText(const ResultRecord &record)
{
    return FromCp1251(ListNames[record.ListNo()]);
}

QString PersonText(const ResultRecord &record)
{
    return FromCp1251(PersonNames[record.ListNo()][record.PersonNo()]);
}

// Both windows show the value in per mille with one decimal: 0.3, 1.5, 6.3.
QString ResultText(const ResultRecord &record)
{
    return QStringLiteral("%1.%2").arg(record.Result() / 10).arg(record.Result() % 10);
}

constexpr int CodeYears = 16;
// The instrument's clock may run into the next year before the PC's does.
constexpr int YearsAfterPcYear = 1;
// Until then code 10 stands for 2010, which no instrument wrote: it is 2014.
constexpr int LastYearReadingTenAs14 = 2024;

int YearOfDateCode(int dateCode)
{
    return YearOfCode(NormaliseYear(dateCode >> 4), PcYear());
}

bool IsRealMonth(int month)
{
    return month >= 1 && month <= 12;
}

// Months in time order: (year, month) as one number.
int MonthOrder(int dateCode)
{
    return YearOfDateCode(dateCode) * 16 + (dateCode & 0x0F);
}

ViewTexts BlankViewTexts()
{
    return {QString(16, ' '), QString(15, ' '), QString(10, ' '), QString(5, ' '), QString(3, ' ')};
}

} // namespace

int YearCodeOf(int year)
{
    const int code = (year - 2000) % CodeYears;
    return code < 0 ? code + CodeYears : code;
}

int YearOfCode(int yearCode, int pcYear)
{
    const int lastYear = pcYear + YearsAfterPcYear;
    return lastYear - YearCodeOf(lastYear - (yearCode & 0x0F));
}

int DateKeyOf(int year, int month, int day)
{
    return (year - 2000) * 512 + month * 32 + day;
}

int RecordDateKey(const ResultRecord &record)
{
    return DateKeyOf(RecordYear(record), record.Month(), record.Day());
}

int NormaliseYear(int yearCode)
{
    return yearCode == 0x0A && PcYear() <= LastYearReadingTenAs14 ? 0x0E : yearCode;
}

int RecordYear(const ResultRecord &record)
{
    return YearOfDateCode(record.DateCode());
}

bool HasImpossibleDate(const ResultRecord &record)
{
    return !IsRealMonth(record.Month()) || record.Day() == 0;
}

int TodayDateCode(const QDate &today)
{
    SetToday(today);
    return YearCodeOf(today.year()) * 16 + TodayMonth;
}

int TodayDateCode()
{
    return TodayDateCode(PcNow().date());
}

bool IsStale(int dateCode, int reference)
{
    return IsRealMonth(reference & 0x0F) && MonthOrder(dateCode) < MonthOrder(reference);
}

void ScanResults()
{
    RefDateCode = 0;
    EndFound = false;
    ResultCount = std::clamp(ResultCount, 0, ResultSlots);
    for (int r = 0; r < ResultCount; ++r) {
        const ResultRecord &record = Results[r];
        if (record.IsEnd()) {
            ResultCount = r;
            EndFound = true;
            return;
        }
        RefDateCode = record.DateCode();
    }
}

ViewTexts DecodeForView(int slot)
{
    if (!IsSlot(slot))
        return BlankViewTexts();
    const ResultRecord &record = Results[slot];
    if (record.ListNo() > ListCount || HasImpossibleDate(record) || IsStale(record.DateCode(), RefDateCode))
        return BlankViewTexts();

    ViewTexts texts;
    if (record.ListNo() == 0) {
        texts.List = QString(16, ' ');
        texts.Person = AnonymousName + QString(10, ' ');
    } else {
        texts.List = ListText(record);
        texts.Person = PersonText(record);
    }
    texts.Date = QStringLiteral("%1.%2.20%3")
                     .arg(record.Day(), 2)
                     .arg(TwoDigits(record.Month()))
                     .arg(TwoDigits(RecordYear(record) % 100));
    texts.Time = TwoDigits(record.Hour()) + ':' + TwoDigits(record.Minute());
    texts.Result = ResultText(record);
    return texts;
}

void DecodeForStat(int slot, StatEntry &entry)
{
    if (!IsSlot(slot)) {
        entry = StatEntry{};
        return;
    }
    const ResultRecord &record = Results[slot];
    entry.ListNo = record.ListNo();
    entry.PersonNo = record.PersonNo();
    entry.DateKey = RecordDateKey(record);
    entry.TimeKey = record.TimeKey();
    entry.Result = record.Result();

    // Only lists 1..8 have names; a stray list number 9..127 shows none.
    entry.ListText = HasNames(record) ? ListText(record) : QString();
    entry.PersonText = record.ListNo() == 0 ? AnonymousName
                       : HasNames(record)   ? PersonText(record)
                                            : QString();
    entry.DateText = QStringLiteral("%1.%2.%3")
                         .arg(record.Day())
                         .arg(TwoDigits(record.Month()))
                         .arg(RecordYear(record));
    entry.TimeText = QStringLiteral("%1:%2").arg(record.Hour()).arg(TwoDigits(record.Minute()));
    entry.ResultText = ResultText(record);
}
