#pragma once
// The configuration, list and results files, the messages about files, the
// small text formats shared by the windows and the row labels of the sensor
// grids.
//
// Every file operation returns its outcome: whether it completed, and what
// the operator is to be told, which the caller shows. A file is always
// replaced as a whole, so a save that fails leaves the previous file as it
// was.

#include "store/FileOutcome.h"

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
//
// A save names the fields it changes; every other field is written as the
// file on disk holds it, so that a save never puts back a value the file no
// longer has. Fields the file does not hold (a new or short file) come from
// memory.
enum ConfigField : unsigned {
    ConfigPort = 0x01,
    ConfigSensorNumber = 0x02,
    ConfigVolumeCoef = 0x04,      // word 17 alone
    ConfigSensorWords = 0x08,     // words 0..31, word 17 included
    ConfigIdentity = 0x10,        // ConfigNumber
    ConfigAll = 0x1F,
};
FileOutcome SaveConfig(unsigned changed = ConfigAll);
FileOutcome LoadConfig();

// The port alone from the configuration file, when it can be read whole.
void LoadConfigPort();

// The configuration file as it is now: empty when it cannot be read whole.
QByteArray ConfigFileBytes();
// Puts `fields` back as `earlier` (what ConfigFileBytes() gave) holds them;
// every other field stays as on disk. Nothing is written when nothing
// differs, or when either image is not a whole file.
FileOutcome PutBackConfig(const QByteArray &earlier, unsigned fields);

// orbisk_a.lst: eight list names, then 8 x 64 person names, 16 bytes each.
// A missing file is created with the default names.
FileOutcome SaveLists();
FileOutcome LoadLists();

// orbisk_a.dat: ResultCount, the read mark (store/OrbADat.h) in the reserved
// header bytes, and all 9300 slots of Results. A missing file is created from
// the results in memory. A file without a mark, or with a mark that does not
// belong to its count, loads without one.
FileOutcome SaveResults();
FileOutcome LoadResults();

// After the instrument's memory of tests was erased: the next step reads
// from its first record. The mark is put into the results file at once,
// every other byte of it kept; fails when the file could not take it (the
// next step then finds the instrument's memory changed).
FileOutcome ForgetInstrumentRecords();

// Refreshes the PC date parts and sets DailyFileName to "DD_MM.txt".
void MakeDailyFileName();
void MakeDailyFileName(const QDate &today);

// Writes `bytes` as the whole new content of the file, through a temporary
// file in the same directory. A failure leaves the old file.
FileOutcome ReplaceFile(const QString &fileName, const QByteArray &bytes);

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
