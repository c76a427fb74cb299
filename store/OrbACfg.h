#pragma once
// The configuration, list and results files, the messages about files, the
// small text formats shared by the windows and the row labels of the sensor
// grids.
//
// Every file operation reports its own failures through a message box and
// returns true when it completed. A file is always replaced as a whole, so a
// save that fails leaves the previous file as it was.

#include "store/OrbADat.h"

#include <QDate>
#include <QString>
#include <array>

constexpr int ConfigFileSize = 72;
constexpr int ListFileSize = 8320;
constexpr int ResultsFileSize = 55860;

// orbisk_m.cnf: port, sensor number, ConfigNumber and sensor words 0..31.
// Saving first puts VolumeCoef into word 17 and copies words 0..31 into
// SensorTableSaved. A missing file is created from the current values.
bool SaveConfig();
bool LoadConfig();

// orbisk_a.lst: eight list names, then 8 x 64 person names, 16 bytes each.
// A missing file is created with the default names.
bool SaveLists();
bool LoadLists();

// orbisk_a.dat: ResultCount, the read mark (store/OrbADat.h) in the reserved
// header bytes, and all 9300 slots of Results. A missing file is created from
// the results in memory. A file without a mark, or with a mark that does not
// belong to its count, loads without one.
bool SaveResults();
bool LoadResults();

// After the instrument's memory of tests was erased: the next step reads
// from its first record. The mark is put into the results file at once,
// every other byte of it kept; false when the file could not take it (the
// next step then finds the instrument's memory changed).
bool ForgetInstrumentRecords();

// Refreshes the PC date parts and sets DailyFileName to "DD_MM.txt".
void MakeDailyFileName();
void MakeDailyFileName(const QDate &today);

// Writes `bytes` as the whole new content of the file, through a temporary
// file in the same directory. Reports a failure and leaves the old file.
bool ReplaceFile(const QString &fileName, const QByteArray &bytes);

// The warning that a file was not found and is created anew, and its short
// form for callers that say themselves what follows.
void ShowMissingFileWarning(const QString &fileName);
void ShowFileNotFoundWarning(const QString &fileName);

// The general input/output error report: names the file and what is wrong
// with it; `details` carries what the operating system said.
void ShowFileError(const QString &fileName, const QString &problem, const QString &details = {});

// Text formats: HexByte(10) = "0A"; TwoDigits(7) = "07" (low 8 bits only, so
// 100..255 give three digits); JoinColon(9, 5, 0) = "09:05:00"; JoinDash
// does the same with "-" for dates.
QString HexByte(int value);
QString TwoDigits(int value);
QString JoinColon(int a, int b, int c);
QString JoinDash(int a, int b, int c);

// A number typed by the operator: leading blanks, an optional sign and the
// decimal digits up to the first other character; a text without digits
// reads as 0. Values beyond an int are held at its limits.
int TypedNumber(const QString &text);

// The report of a value that is no word: "<what> = <value>, а допустимо от 0
// до 65535."
QString NotAWord(const QString &what, int value);

// Row labels of the sensor grids; trailing spaces belong to the texts.
extern const std::array<QString, 32> SensorWordLabels;      // sensor data words 0..31
extern const std::array<QString, SensorTableRows> InstrumentWordLabels;
extern const std::array<QString, 7> CalibrationPointLabels; // calibration mixtures
