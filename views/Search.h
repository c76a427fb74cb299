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

// The last year the period selectors offer: 2031, or the PC's year when it
// is later (no stored test is dated after it).
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

// Puts the period and the found tables back to their start-up values.
void ResetSearch();

// Finds the records of person CurrentPerson of list CurrentList. Anonymous
// tests are never found here.
void SearchByPerson();

// The lines of the person search's report: "Записей  нет", or the count with
// the time and date of the first and of the last found record.
QStringList PersonSearchReport();

// Computes the period keys from the period values.
void MakePeriodKeys();

// Finds the records of the period (keys made first): every day strictly
// between the begin and the end date whole, the begin day from the begin
// time on, the end day up to the end time. A period of a single day takes
// the records between the two times. Nothing is found without results.
void SearchByPeriod();

// The period from the first stored record to `now`.
void SetDefaultPeriod(const QDateTime &now);

// Brings each period value into the range of its selector.
void ClampPeriod();
