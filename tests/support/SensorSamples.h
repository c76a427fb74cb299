#pragma once
// Sample sensor data: a set of calibration readings with the words derived
// from it, and a sensor file whose bytes all tell where they stand.

#include "sensor/SensorBase.h"

#include <QByteArray>
#include <array>

inline constexpr MixtureArray ExampleMixtures = {3000, 2000, 1800, 1500, 1400, 1000, 500};

// Words 0..31 derived and completed from ExampleMixtures for sensor 5.
inline constexpr std::array<int, 32> ExampleWords = {
    3000, 2000, 1800, 1620, 1566, 1500, 1400, 1200, 1110, 1050, 1000,
    24000, 2200, 0, 2200, 1860, 1674, 1583, 1520, 1430, 1260, 1137,
    1068, 1035, 985, 5000, 30, 5, 0, 0, 0, 5};

// Every byte differs from its neighbours, to see what moved.
QByteArray PatternSensorFile();
