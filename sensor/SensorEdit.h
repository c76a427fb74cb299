#pragma once
// The plain rules of the sensor data window: what it hands back to the
// service window's sensor table, the readings "Плюс 1" falls back on, the
// shift of the readings, the sensor-number steps and the access code.

#include "sensor/SensorBase.h"
#include "store/OrbADat.h"

#include <QString>
#include <array>

constexpr int AccessCode = 471906;
constexpr int DefaultVolumeCoef = 100;
constexpr int LowestReading = 50;    // "Плюс 1" takes the defaults below this
constexpr MixtureArray DefaultMixtures = {3000, 2000, 1800, 1500, 1400, 1000, 500};

// Rows 0..22 of the instrument's sensor table from a record: the measured
// levels, the 2.0 reading, the thresholds 0.0/0.1 to 0.9/1.0, the volume
// coefficient (100 for 0), the extrapolation step, G_FOULL, 1, the
// instrument number and the sensor number.
std::array<int, SensorTableRows> SensorTableFromRecord(const SensorWordArray &words,
                                                       const MixtureArray &mixtures,
                                                       int volumeCoef, int sensorNumber);

// The first row that the instrument's table cannot hold as a word
// (0..65535), or -1 when every row is a word.
int FirstRowNotAWord(const std::array<int, SensorTableRows> &rows);

// The typed readings, or the defaults when any of them is below 50.
MixtureArray PlusOneMixtures(const MixtureArray &typed);

// Every reading moved by `amount`.
MixtureArray ShiftedMixtures(const MixtureArray &readings, qint64 amount);

// The number after "+1" (step 1) or "-1" (step -1); "-1" stays at 0. Whether
// it is a sensor number is for CheckSensorNumber to say.
qint64 SteppedSensorNumber(qint64 typed, int step);

// Whether the typed text is the access code that opens the entry buttons.
bool IsAccessCode(const QString &typed);
