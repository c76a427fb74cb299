#pragma once
// The breath recorder: turns the instrument's samples into the values shown
// live, detects the start and end of a breath by a pressure threshold, and
// records the breath on a grid of 0.02 s slots (up to 28 s) together with
// the two curve segments each sample adds to the graph.
//
// Slot k is the time BreathStart + k x 0.02 s. Each sample's pressure fills
// the slots up to its own time; its volume fills the same slots when the
// next sample comes. One graph pixel is one slot.

#include "volume/BreathPoll.h"

#include <QPoint>
#include <QString>
#include <array>
#include <optional>

constexpr int BreathSlots = 1401;        // slots 0..1400; 1400 is 28 s after the start
constexpr int LastBreathSlot = BreathSlots - 1;
constexpr int SlotsPerTenth = 5;
constexpr int BreathThreshold = 10;      // a breath runs while the pressure is above this

// The graph's geometry in pixels, x to the right and y downward.
constexpr int GraphWidth = 1450;
constexpr int GraphHeight = 500;
constexpr int GraphLeft = 50;            // the label margin; slot 0 is drawn at x 50
constexpr int PressureBaseline = 200;
constexpr int VolumeBaseline = 450;
constexpr int VolumeMlPerPixel = 30;

// The vertical scale of the pressure curve: 1 (smallest) to 5.
constexpr int MinPressureScale = 1;
constexpr int MaxPressureScale = 5;

// Pressure units per pixel at a scale.
int PressureDivisor(int scale);
int PressureY(int pressure, int scale);
int VolumeY(int volumeMl);

// "5.7" for 57 tenths of a second.
QString InstrumentTimeText(int tenths);
// Millilitres as litres with three decimals: "1.234", "0.025", "-0.025".
QString LitresText(int ml);

using BreathArray = std::array<int, BreathSlots>;

// What the window shows of one sample.
struct ShownSample {
    int timeTenths = 0;
    int pressure = 0;
    int volumeMl = 0;
};

// The two curve segments one recorded sample adds. After a restart of the
// recording they start at the origin, on a cleared curve area.
struct PlotStep {
    QPoint pressureFrom, pressureTo;
    QPoint volumeFrom, volumeTo;
    bool restarted = false;
};

class BreathRecorder {
public:
    BreathRecorder();

    // Takes a sample: the live values and the breath detector.
    ShownSample Show(const FlowReading &reading);

    // Records the sample last shown, while a breath runs: fills its slots and
    // gives the segments to draw at the pressure scale.
    std::optional<PlotStep> Record(int pressureScale);

    // Empties both arrays; the recording goes on where it was.
    void ClearArrays();

    // A new polling: no breath runs and the pens stand at the origin; the
    // arrays keep the last breath until the next one starts.
    void BeginPolling();

    // The polling has stopped: the sample last recorded keeps its volume in
    // its slots, as a following sample would have given it.
    void EndPolling();

    // The last slot that holds both a pressure and a volume, or -1.
    int RecordedEnd() const;

    int TimeNow = 0;
    int PressureNow = 0;
    int VolumeNow = 0;               // millilitres
    bool BreathActive = false;
    bool VolumeHold = true;          // the volume reads 0 until the first breath
    int BreathStart = 0;             // instrument time of slot 0
    BreathArray BreathPressure{};
    BreathArray BreathVolume{};      // millilitres
    int NextSlot = 0;                // next slot to take a pressure
    int VolumeFillFrom = 0;          // first slot still waiting for its volume
    int LastSlot = 0;                // highest slot reached
    QPoint PressurePen;
    QPoint VolumePen;

private:
    void RestartRecording();
    void FillPendingVolume();
};
