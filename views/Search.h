#pragma once
// The statistics window's searches over the stored results: the tests of one
// person, and the tests of a period. The period values and the found tables
// are globals that keep their values between openings of the window.

#include "store/ResultRecord.h"

#include <QDateTime>
#include <QStringList>
#include <array>

constexpr int FoundCapacity = 10001;
constexpr int FirstPeriodYear = 2008;

// The last year the period selectors offer: 2031, or the year after the PC's
// when it is later (no stored test is dated after it).
int LastPeriodYear();

// The period, from its begin to its end, and its keys (store/ResultRecord.h:
// date key (year - 2000) x 512 + month x 32 + day, time key hour x 64 + minute).
extern int BeginYear;
extern int BeginMonth;
extern int BeginDay;
extern int BeginHour;
extern int BeginMinute;
extern int EndYear;
extern int EndMonth;
extern int EndDay;
extern int EndHour;
extern int EndMinute;
extern int BeginDateKey;
extern int EndDateKey;
extern int BeginTimeKey;
extern int EndTimeKey;

// Entries 0 .. FoundCount - 1 hold the last search's records, in slot order.
extern int FoundCount;
extern std::array<StatEntry, FoundCapacity> Found;

// Which search filled the found tables last.
enum class FoundSearch { None, Person, Period };
extern FoundSearch LastSearch;
// The list (1..8) and the person (0..63) the last person search looked for:
// what a sheet of its records names, whatever was chosen since.
extern int FoundList;
extern int FoundPerson;

// Puts the period and the found tables back to their start-up values.
void ResetSearch();

// Finds the records of `person` (0..63) of `list` (1..8). Anonymous tests
// are never found here.
void SearchByPerson(int list, int person);
// The same for person CurrentPerson of list CurrentList.
void SearchByPerson();

// The lines of the person search's report: "Записей  нет", or the count with
// the time and date of the first and of the last found record.
QStringList PersonSearchReport();

// Computes the period keys from the period values.
void MakePeriodKeys();

// True when the period, with its keys made, ends before it begins.
bool PeriodReversed();

// Finds the records of the period (keys made first): every day strictly
// between the begin and the end date whole, the begin day from the begin
// time on, the end day up to the end time. A period of a single day takes
// the records between the two times. Nothing is found without results, nor
// for a period that ends before it begins.
void SearchByPeriod();

// The period from the first stored record to `now`.
void SetDefaultPeriod(const QDateTime &now);

// Brings each period value into the range of its selector.
void ClampPeriod();
