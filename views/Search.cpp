#include "views/Search.h"

#include "store/OrbADat.h"

#include <algorithm>

int BeginYear;
int BeginMonth;
int BeginDay;
int BeginHour;
int BeginMinute;
int EndYear;
int EndMonth;
int EndDay;
int EndHour;
int EndMinute;
int BeginDateKey;
int EndDateKey;
int BeginTimeKey;
int EndTimeKey;

int FoundCount;
FoundSearch LastSearch;
int FoundList;
int FoundPerson;
std::array<StatEntry, FoundCapacity> Found;

namespace {

void AddFound(int slot)
{
    if (FoundCount < FoundCapacity)
        DecodeForStat(slot, Found[FoundCount++]);
}

bool InPeriod(int dateKey, int timeKey)
{
    if (BeginDateKey == EndDateKey)
        return dateKey == BeginDateKey && timeKey >= BeginTimeKey && timeKey <= EndTimeKey;
    if (dateKey > BeginDateKey && dateKey < EndDateKey)
        return true;
    return (dateKey == BeginDateKey && timeKey >= BeginTimeKey)
           || (dateKey == EndDateKey && timeKey <= EndTimeKey);
}

constexpr int LastListedYear = 2031;

const bool SearchReady = (ResetSearch(), true);

} // namespace

int LastPeriodYear()
{
    return std::max(LastListedYear, PcYear() + 1);
}

void ResetSearch()
{
    BeginYear = 2008;
    BeginMonth = 1;
    BeginDay = 1;
    BeginHour = 0;
    BeginMinute = 0;
    EndYear = 2009;
    EndMonth = 5;
    EndDay = 20;
    EndHour = 23;
    EndMinute = 59;
    MakePeriodKeys();
    FoundCount = 0;
    LastSearch = FoundSearch::None;
    FoundList = 1;
    FoundPerson = 0;
    Found.fill(StatEntry{});
}

void SearchByPerson(int list, int person)
{
    FoundCount = 0;
    LastSearch = FoundSearch::Person;
    FoundList = list;
    FoundPerson = person;
    const int count = std::clamp(ResultCount, 0, ResultSlots);
    for (int slot = 0; slot < count; ++slot) {
        const ResultRecord &record = Results[slot];
        if (record.ListNo() == list && record.PersonNo() == person)
            AddFound(slot);
    }
}

void SearchByPerson()
{
    SearchByPerson(CurrentList, CurrentPerson);
}

QStringList PersonSearchReport()
{
    if (FoundCount == 0)
        return {QStringLiteral("Записей  нет")};
    const StatEntry &first = Found[0];
    const StatEntry &last = Found[FoundCount - 1];
    return {QStringLiteral("Записей: %1.С %2 %3").arg(FoundCount).arg(first.TimeText, first.DateText),
            QStringLiteral("           по %1 %2").arg(last.TimeText, last.DateText)};
}

void MakePeriodKeys()
{
    BeginDateKey = DateKeyOf(BeginYear, BeginMonth, BeginDay);
    EndDateKey = DateKeyOf(EndYear, EndMonth, EndDay);
    BeginTimeKey = BeginHour * 64 + BeginMinute;
    EndTimeKey = EndHour * 64 + EndMinute;
}

bool PeriodReversed()
{
    MakePeriodKeys();
    return EndDateKey < BeginDateKey || (EndDateKey == BeginDateKey && EndTimeKey < BeginTimeKey);
}

void SearchByPeriod()
{
    FoundCount = 0;
    LastSearch = FoundSearch::Period;
    // The edge days of a reversed period would make a part of its tests
    // look like all of them.
    if (ResultCount <= 0 || PeriodReversed())
        return;
    const int count = std::min(ResultCount, ResultSlots);
    for (int slot = 0; slot < count; ++slot) {
        const ResultRecord &record = Results[slot];
        if (InPeriod(RecordDateKey(record), record.TimeKey()))
            AddFound(slot);
    }
}

void SetDefaultPeriod(const QDateTime &now)
{
    const ResultRecord &first = Results[0];
    BeginYear = RecordYear(first);
    BeginMonth = first.Month();
    BeginDay = first.Day();
    BeginHour = first.Hour();
    BeginMinute = first.Minute();
    EndYear = now.date().year();
    EndMonth = now.date().month();
    EndDay = now.date().day();
    EndHour = now.time().hour();
    EndMinute = now.time().minute();
}

void ClampPeriod()
{
    const int lastYear = LastPeriodYear();
    BeginYear = std::clamp(BeginYear, FirstPeriodYear, lastYear);
    EndYear = std::clamp(EndYear, FirstPeriodYear, lastYear);
    BeginMonth = std::clamp(BeginMonth, 1, 12);
    EndMonth = std::clamp(EndMonth, 1, 12);
    BeginDay = std::clamp(BeginDay, 1, 31);
    EndDay = std::clamp(EndDay, 1, 31);
    BeginHour = std::clamp(BeginHour, 0, 23);
    EndHour = std::clamp(EndHour, 0, 23);
    BeginMinute = std::clamp(BeginMinute, 0, 59);
    EndMinute = std::clamp(EndMinute, 0, 59);
}
