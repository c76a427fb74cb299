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

// The results window reads codes 10..15 as 2010..2015 and 0..9 as 2016..2025.
int ViewYear(int yearCode)
{
    return yearCode >= 10 ? 2000 + yearCode : 2016 + yearCode;
}

// The statistics window reads codes 8..15 as 2008..2015 and all lower codes as 2008.
int StatYear(int yearCode)
{
    return yearCode >= 8 ? 2000 + yearCode : 2008;
}

ViewTexts BlankViewTexts()
{
    return {QString(16, ' '), QString(15, ' '), QString(10, ' '), QString(5, ' '), QString(3, ' ')};
}

} // namespace

void NormaliseYear(ResultRecord &record)
{
    if (record.YearCode() == 0x0A)
        record.bytes[2] = static_cast<uint8_t>(0xE0 | record.Month());
}

int TodayDateCode(const QDate &today)
{
    SetToday(today);
    return (TodayYear2 % 10) * 16 + TodayMonth;
}

int TodayDateCode()
{
    return TodayDateCode(QDate::currentDate());
}

bool IsStale(int dateCode, int reference)
{
    return dateCode < reference && (dateCode >= 0x78 || dateCode + 0x30 >= reference);
}

void ScanResults()
{
    RefDateCode = 0;
    EndFound = false;
    ResultCount = std::clamp(ResultCount, 0, ResultSlots);
    for (int r = 0; r < ResultCount; ++r) {
        ResultRecord &record = Results[r];
        NormaliseYear(record);
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
    ResultRecord &record = Results[slot];
    NormaliseYear(record);
    if (record.ListNo() > ListCount || IsStale(record.DateCode(), RefDateCode))
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
                     .arg(ViewYear(record.YearCode()) % 100);
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
    entry.DateKey = record.DateKey();
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
                         .arg(StatYear(record.YearCode()));
    entry.TimeText = QStringLiteral("%1:%2").arg(record.Hour()).arg(TwoDigits(record.Minute()));
    entry.ResultText = ResultText(record);
}
