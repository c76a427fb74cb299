#pragma once
// The sensor database: the calibration records of the sensors, one hundred
// to a file. Sensor N lives in record N mod 100 of the file F_NN.dat, where
// NN is N div 100 (at least two digits): sensors 1200..1299 in F_12.dat.
//
// A file is loaded whole into SensorBaseImage, the record of one sensor is
// unpacked into the working values below, and after a change the working
// values are packed back and the whole image replaces the file. Storing a
// record therefore goes
//
//   SensorNumber = n; LoadSensorBase(n);       the file of n into the image
//   ... set MixtureValues, SensorNote, SensorTable[17] ...
//   StoreSensorRecord();   (select, derive, complete, pack, store)
//
// Records hold 16-bit words, high byte first. SensorNote (store/OrbADat.h)
// is the record's note in CP1251 bytes.

#include <QByteArray>
#include <QString>
#include <array>

constexpr int SensorRecordSize = 200;
constexpr int SensorRecordsPerFile = 100;
constexpr int SensorFileSize = SensorRecordSize * SensorRecordsPerFile;
constexpr int SensorWordCount = 64;
constexpr int MixtureCount = 7;
constexpr int SensorNoteLength = 40;
constexpr int MaxSensorNumber = 65535;

using SensorWordArray = std::array<int, SensorWordCount>;
using MixtureArray = std::array<int, MixtureCount>;

// The working record.
extern SensorWordArray SensorWords;
extern MixtureArray MixtureValues;     // sensor output at the seven mixtures

// The loaded file and the selected record in it.
extern QByteArray SensorBaseImage;     // SensorFileSize bytes
extern int SensorFileIndex;            // sensor number div 100
extern int SensorRecordIndex;          // sensor number mod 100

// Whether the sensor data window offers its entry buttons; every load sets
// it (Sensor data window).
extern bool DataEntryEnabled;

// "F_00.dat", "F_12.dat", "F_123.dat".
QString SensorFileName(int fileIndex);

// Whether `number` is a sensor number (0..65535); a number that is not is
// reported.
bool CheckSensorNumber(qint64 number);

// Sets SensorFileIndex and SensorRecordIndex from a sensor number. A number
// outside 0..65535 is reported and changes nothing.
bool SelectSensorRecord(int number);

// Reads the file of sensor `number` into the image and selects its record.
// A file that does not exist is announced and created with 100 empty
// records. A file that exists but cannot be read, or is not 20000 bytes long,
// is reported and left as it is; the image then keeps what could be read
// (zeros beyond) and is refused by StoreSensorBase until a load succeeds.
bool LoadSensorBase(int number);

// Writes the image over the file of sensor `number`, atomically. Refused
// with a message when the image does not hold that file in full.
bool StoreSensorBase(int number);

// Whether the image holds a whole file as loaded (or as newly created).
bool SensorBaseUsable();

// Record SensorRecordIndex of the image into SensorWords, MixtureValues,
// SensorTable[17] and VolumeCoef, and SensorNote (control bytes read as
// blanks).
void UnpackSensorRecord();

// The note of record SensorRecordIndex of the image, as UnpackSensorRecord
// reads it, without touching the working record.
QByteArray StoredSensorNote();

// The working record into record SensorRecordIndex of the image: the words,
// the mixture values, SensorTable[17] as the volume coefficient and the first
// 40 bytes of SensorNote, blank-filled. Bytes 142..147 and 190..199 are
// kept. A value outside 0..65535 is reported by name and nothing is packed.
bool PackSensorRecord();

// Why the working record cannot be packed, or an empty text when it can.
QString SensorRecordProblem();

// The levels and thresholds of SensorWords from MixtureValues (words 0..10,
// 12, 14..31); integer divisions truncate toward zero.
void DeriveSensorWords();

// Word 11 (24000 + file index when zero), 13, 25..31 and the two copies of
// words 11..26 in 32..47 and 48..63.
void CompleteSensorWords();

// For SensorNumber: SelectSensorRecord, DeriveSensorWords,
// CompleteSensorWords and PackSensorRecord in one. When the record is
// refused SensorWords is put back as it was. Writes the image only.
bool BuildSensorRecord();

// BuildSensorRecord, then StoreSensorBase(SensorNumber). The image must hold
// the file of SensorNumber (LoadSensorBase first).
bool StoreSensorRecord();

// Empties the working record and the image, as at program start.
void ResetSensorBase();
