#pragma once
// What the service window and the sensor data window hand each other. Each
// window fills its own controls from these records.

#include <QString>
#include <array>

// The service window's part, when the sensor data window opens: the sensor
// number as the operator typed it in row 22 of the sensor table.
struct SensorOpening {
    QString sensorNumberText;
};

// The sensor data window's part, when it closes with its record taken into
// the sensor table: rows 0..22 and the words for where they came from.
struct SensorHandBack {
    std::array<int, 23> rows{};
    QString source;
};
