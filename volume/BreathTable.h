#pragma once
// The recorded breath as a table of time, pressure, volume increment, volume
// and flow, at a time step of 0.02, 0.1 or 0.2 s and in one of four flow
// units, one of them the marks of a rotameter's scale.

#include "volume/BreathRecord.h"

#include <QString>
#include <QStringList>
#include <array>
#include <vector>

// The items of the time-step list, in order.
enum BreathTimeStep { Step002 = 0, Step01 = 1, Step02 = 2 };

// The items of the flow-unit list, in order; the list's other items have no
// unit, and the flow column stays empty for them.
enum BreathFlowUnit { UnitSensor = 0, UnitMlPerSecond = 1, UnitLitresPerHour = 2, UnitRotameter = 3 };

constexpr int BreathTableColumns = 5;
constexpr int BreathTableRows = 7000;   // rows of the grid, the header row included

struct RotameterPoint {
    int mark;
    double litresPerHour;
};

// The rotameter's scale: marks 0 to 100 and the flow each stands for.
inline constexpr std::array<RotameterPoint, 6> RotameterMarks{
    {{0, 37.1}, {20, 79.6}, {40, 121}, {60, 167}, {80, 208}, {100, 256}}};

// Flow in litres per hour to the rotameter's scale mark; below the scale 0,
// above it the last segment extended.
double RotameterMark(double litresPerHour);

// The texts of the rotameter grid, row by row (two columns each).
std::vector<std::array<QString, 2>> RotameterTableTexts();

// The header row of the breath table.
QStringList BreathTableHeaders();

using BreathTableRow = std::array<QString, BreathTableColumns>;

// The rows of the breath table below its header, for a time step and a flow
// unit (the list indexes; any other unit leaves the flow column empty, any
// other step gives no rows). Rows past `recordedEnd`, the last slot of the
// recording, carry no increment and no flow: the zeros there were never
// measured.
std::vector<BreathTableRow> BuildBreathTable(const BreathArray &pressure, const BreathArray &volume,
                                             int timeStep, int flowUnit, int recordedEnd = LastBreathSlot);
