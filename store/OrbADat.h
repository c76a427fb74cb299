#pragma once
// The program's one shared data model: every window reads and writes these
// values directly, on the window thread. Names and notes are kept as the
// CP1251 bytes that the files and the instrument hold; the windows convert
// them to Unicode when they show them (see store/Cp1251.h).

#include "store/ResultRecord.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

// The 16-bit words of the instrument and of the files.
constexpr int MaxWord = 65535;
constexpr bool IsWord(int value) { return value >= 0 && value <= MaxWord; }

// Configuration values (orbisk_m.cnf).
constexpr int SensorTableSize = 36;      // words 0..31 are saved
constexpr int SensorTableRows = 23;      // words 0..22 live in the instrument, one grid row each
constexpr int SavedSensorWords = 32;
constexpr int VolumeCoefWord = 17;

extern int PortNumber;                   // 1..9, 0 tolerated
extern QString PortName;                 // "COM1"
extern int SensorNumber;                 // 0..65535
extern QString SensorNumberText;         // "1"
extern int ConfigNumber;                 // 583729
extern std::array<int, SensorTableSize> SensorTable;
extern std::array<int, SensorTableSize> SensorTableSaved;
extern int VolumeCoef;                   // 100, word 17 kept outside the table

// Stored data (orbisk_a.lst, orbisk_a.dat). Lists are numbered 1..8; index 0
// is unused so that ListNames[ListNo] reads as the record says.
constexpr int ListCount = 8;
constexpr int PersonsPerList = 64;
constexpr int NameLength = 16;
constexpr int ResultSlots = 9300;

extern std::array<QByteArray, ListCount + 1> ListNames;
extern std::array<std::array<QByteArray, PersonsPerList>, ListCount + 1> PersonNames;
extern std::array<ResultRecord, ResultSlots> Results;
extern int ResultCount;                  // valid records at the start of Results

// Where the next step reads in the instrument's memory of tests: the index
// of its next unread record, and the six bytes of the record before it as
// they were read (none at index 0). A step first reads that record again:
// when it differs, the instrument's memory is not the one read before.
// A step cut off by a failed read leaves `cutOff` set: the next step goes on
// as that one would have, judging its first page as a later page.
// Saved with the results; unknown until a read or the results file sets it.
struct InstrumentReadMark {
    int next = 0;
    std::optional<ResultRecord> lastRead;
    bool cutOff = false;

    bool operator==(const InstrumentReadMark &) const = default;
};
extern std::optional<InstrumentReadMark> ReadMark;
constexpr int InstrumentRecords = 1500;  // instrument addresses 9216 .. 18215

// The record a step starts from: the read mark's, or without one ResultCount
// (a place without its record: the step reads from the first record instead).
int NextInstrumentRecord();

// State of the last scan of Results (store/ResultRecord.h).
extern int RefDateCode;                  // date code that stale records are judged against
extern bool EndFound;                    // the scan met an end-of-data record

// Selections and PC date parts (not saved).
extern int CurrentList;                  // 1..8
extern int CurrentPerson;                // 0..63
extern int StatPage;
extern int TodayYear2;                   // 3
extern int TodayMonth;                   // 8
extern int TodayDay;                     // 27
extern QString DailyFileName;            // "30_11.txt"

// Takes TodayYear2, TodayMonth and TodayDay from a PC date.
void SetToday(const QDate &today);

// The PC's date and time. A test fixes them, so that what depends on the day
// does not depend on the day it runs; an invalid value gives the clock back.
QDateTime PcNow();
int PcYear();
void FixPcNow(const QDateTime &now);

extern QByteArray SensorNote;            // 20 spaces

// File names, relative to the working directory.
inline constexpr const char *ConfigFileName = "orbisk_m.cnf";
inline constexpr const char *ListFileName = "orbisk_a.lst";
inline constexpr const char *ResultsFileName = "orbisk_a.dat";

// Puts every value above back to its start-up value, and forgets what was
// learnt about the files (store/FileGuard.h).
void ResetDataModel();
