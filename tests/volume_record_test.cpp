// The breath recorder on scripted breaths, and how the graph maps values to
// pixels at each scale.

#include "volume/BreathGraph.h"
#include "volume/BreathRecord.h"
#include "volume/BreathTable.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

struct Step {
    int tenths;
    int pressure;
    int volumeMl;
};

// Shows and records each step as the window does, and returns what the last
// one drew.
std::optional<PlotStep> Play(BreathRecorder &recorder, std::initializer_list<Step> steps)
{
    std::optional<PlotStep> drawn;
    for (const Step &step : steps) {
        recorder.Show({step.tenths, step.pressure, 2 * step.volumeMl});
        drawn = recorder.Record(MaxPressureScale);
    }
    return drawn;
}

void ExpectSlots(const BreathArray &values, int from, int to, int value)
{
    for (int slot = from; slot <= to; ++slot)
        ASSERT_EQ(values[slot], value) << "slot " << slot;
}

TEST(VolumeRecord, ABreathIsRecordedOnTheSlotGrid)
{
    BreathRecorder recorder;
    // A pressure of exactly 10 neither starts nor ends a breath.
    EXPECT_FALSE(Play(recorder, {{100, 3, 700}, {102, 10, 700}}));
    EXPECT_FALSE(recorder.BreathActive);

    // The first breath: the volume reads 0 until it starts.
    const ShownSample held = recorder.Show({104, 50, 2 * 700});
    EXPECT_EQ(held.volumeMl, 0);
    EXPECT_TRUE(recorder.BreathActive);
    EXPECT_EQ(recorder.BreathStart, 104);
    const std::optional<PlotStep> first = recorder.Record(MaxPressureScale);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->pressureFrom, QPoint(50, 200));
    EXPECT_EQ(first->pressureTo, QPoint(51, 200 - 50 / 4));
    EXPECT_EQ(first->volumeTo, QPoint(51, 450));

    // 0.3 s later: the second sample's pressure fills 15 slots.
    const std::optional<PlotStep> second = Play(recorder, {{107, 80, 100}});
    ASSERT_TRUE(second);
    EXPECT_EQ(second->pressureFrom, first->pressureTo);
    EXPECT_EQ(second->pressureTo, QPoint(66, 180));
    EXPECT_EQ(second->volumeTo, QPoint(66, 450 - 100 / 30));
    // The time stands still: the sample fills no slot, and its volume none.
    Play(recorder, {{110, 10, 200}, {110, 12, 210}});
    EXPECT_EQ(recorder.NextSlot, 31);
    Play(recorder, {{112, 5, 250}, {113, 3, 250}});      // the breath ends below 10
    EXPECT_FALSE(recorder.BreathActive);

    ExpectSlots(recorder.BreathPressure, 0, 0, 50);
    ExpectSlots(recorder.BreathPressure, 1, 15, 80);
    ExpectSlots(recorder.BreathPressure, 16, 30, 10);
    ExpectSlots(recorder.BreathPressure, 31, LastBreathSlot, 0);
    // Each sample's volume lands in its own slots once the next one is shown.
    ExpectSlots(recorder.BreathVolume, 0, 0, 0);
    ExpectSlots(recorder.BreathVolume, 1, 15, 100);
    ExpectSlots(recorder.BreathVolume, 16, 30, 200);
    ExpectSlots(recorder.BreathVolume, 31, LastBreathSlot, 0);

    // After the first breath the volume is shown as measured.
    EXPECT_EQ(recorder.Show({120, 3, 2469}).volumeMl, 1234);
}

TEST(VolumeRecord, EveryNewRecordingStartsEmpty)
{
    BreathRecorder recorder;
    Play(recorder, {{10, 40, 0}, {30, 60, 500}, {40, 60, 900}, {41, 2, 900}});
    EXPECT_EQ(recorder.BreathPressure[150], 60);

    // A shorter second breath leaves no tail of the first in the arrays.
    Play(recorder, {{100, 30, 0}, {102, 30, 300}, {103, 2, 300}, {104, 2, 0}});
    EXPECT_EQ(recorder.BreathStart, 100);
    ExpectSlots(recorder.BreathPressure, 0, 10, 30);
    ExpectSlots(recorder.BreathPressure, 11, LastBreathSlot, 0);
    ExpectSlots(recorder.BreathVolume, 11, LastBreathSlot, 0);

    // The instrument's time restarts during a breath.
    Play(recorder, {{500, 20, 0}, {510, 20, 400}});
    const std::optional<PlotStep> restarted = Play(recorder, {{3, 25, 450}});
    EXPECT_EQ(recorder.BreathStart, 3);
    ASSERT_TRUE(restarted);
    EXPECT_EQ(restarted->pressureTo.x(), 51);
    EXPECT_EQ(recorder.BreathPressure[0], 25);
    ExpectSlots(recorder.BreathPressure, 1, LastBreathSlot, 0);
    ExpectSlots(recorder.BreathVolume, 0, LastBreathSlot, 0);

    // A breath longer than 28 s starts again at the sample past slot 1400.
    Play(recorder, {{283, 30, 600}});
    EXPECT_EQ(recorder.NextSlot, BreathSlots);
    EXPECT_EQ(recorder.BreathPressure[LastBreathSlot], 30);
    Play(recorder, {{284, 35, 650}});
    EXPECT_EQ(recorder.BreathStart, 284);
    EXPECT_EQ(recorder.NextSlot, 1);
    EXPECT_EQ(recorder.BreathPressure[0], 35);
    ExpectSlots(recorder.BreathPressure, 1, LastBreathSlot, 0);
}

// The instrument's clock is 16 bits of tenths: a breath across its wrap goes
// on, and a recording restarted during a breath counts its flow from the
// volume it started at.
TEST(VolumeRecord, TheClockWrapContinuesAndARestartFlowsFromItsOwnVolume)
{
    BreathRecorder recorder;
    Play(recorder, {{65500, 30, 0}, {65530, 30, 600}});
    const std::optional<PlotStep> across = Play(recorder, {{5, 30, 1200}});
    ASSERT_TRUE(across);
    EXPECT_FALSE(across->restarted);
    EXPECT_EQ(recorder.BreathStart, 65500);
    EXPECT_EQ(recorder.NextSlot, 41 * SlotsPerTenth + 1);
    ExpectSlots(recorder.BreathVolume, 1, 150, 600);

    Play(recorder, {{500, 20, 0}, {510, 20, 400}, {3, 20, 740}, {4, 20, 760}, {5, 2, 780}});
    ASSERT_EQ(recorder.BreathStart, 3);
    const std::vector<BreathTableRow> rows = BuildBreathTable(recorder.BreathPressure, recorder.BreathVolume,
                                                              Step01, UnitMlPerSecond, recorder.RecordedEnd());
    EXPECT_EQ(rows[0][4].trimmed(), "0");
    EXPECT_EQ(rows[1][4].trimmed(), "200");
}

TEST(VolumeRecord, RestartsBeginAtTheOriginAndSaySo)
{
    BreathRecorder recorder;
    const std::optional<PlotStep> first = Play(recorder, {{100, 20, 0}});
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->restarted);   // a breath start draws on
    EXPECT_FALSE(Play(recorder, {{110, 20, 300}})->restarted);

    // The instrument's time going back, then the 28 s passing.
    for (const Step &restart : {Step{3, 25, 450}, Step{284, 35, 650}}) {
        const std::optional<PlotStep> step = Play(recorder, {restart});
        ASSERT_TRUE(step);
        EXPECT_TRUE(step->restarted) << restart.tenths;
        EXPECT_EQ(step->pressureFrom, QPoint(50, 200));
        EXPECT_EQ(step->volumeFrom, QPoint(50, 450));
        EXPECT_EQ(step->pressureTo.x(), 51);
    }
}

TEST(VolumeRecord, AStoppedBreathKeepsItsLastVolumeAndANewPollingStartsIdle)
{
    BreathRecorder recorder;
    Play(recorder, {{100, 40, 0}, {104, 40, 300}, {106, 45, 700}});
    EXPECT_EQ(recorder.RecordedEnd(), 20);   // slots 21..30 wait for their volume
    EXPECT_EQ(recorder.BreathVolume[30], 0);

    recorder.EndPolling();
    EXPECT_EQ(recorder.RecordedEnd(), 30);
    ExpectSlots(recorder.BreathVolume, 21, 30, 700);

    // The next polling waits for a breath; the arrays keep the last one.
    const BreathArray pressure = recorder.BreathPressure;
    const BreathArray volume = recorder.BreathVolume;
    recorder.BeginPolling();
    EXPECT_FALSE(recorder.BreathActive);
    EXPECT_EQ(recorder.PressurePen, QPoint(50, 200));
    EXPECT_EQ(recorder.VolumePen, QPoint(50, 450));
    EXPECT_FALSE(Play(recorder, {{121, 5, 900}, {125, 8, 900}}));
    EXPECT_EQ(recorder.BreathPressure, pressure);
    EXPECT_EQ(recorder.BreathVolume, volume);

    const std::optional<PlotStep> fresh = Play(recorder, {{130, 60, 900}});
    ASSERT_TRUE(fresh);
    EXPECT_EQ(recorder.BreathStart, 130);
    EXPECT_EQ(fresh->pressureFrom, QPoint(50, 200));
    ExpectSlots(recorder.BreathPressure, 1, LastBreathSlot, 0);
}

TEST(VolumeRecord, ClearingEmptiesTheArraysOnly)
{
    BreathRecorder recorder;
    Play(recorder, {{10, 40, 0}, {12, 40, 100}});
    const QPoint pen = recorder.PressurePen;
    recorder.ClearArrays();
    ExpectSlots(recorder.BreathPressure, 0, LastBreathSlot, 0);
    EXPECT_EQ(recorder.NextSlot, 11);
    EXPECT_TRUE(recorder.BreathActive);
    EXPECT_EQ(recorder.PressurePen, pen);
}

TEST(VolumeRecord, TextsOfTheLiveValues)
{
    EXPECT_EQ(InstrumentTimeText(57), "5.7");
    EXPECT_EQ(InstrumentTimeText(0), "0.0");
    EXPECT_EQ(InstrumentTimeText(65535), "6553.5");
    EXPECT_EQ(LitresText(1234), "1.234");
    EXPECT_EQ(LitresText(25), "0.025");
    EXPECT_EQ(LitresText(32767), "32.767");
    EXPECT_EQ(LitresText(-25), "-0.025");
    EXPECT_EQ(LitresText(-1500), "-1.500");
}

TEST(VolumeRecord, CurvesAndScalesAgreeAtEveryScale)
{
    // The divisors 60, 30, 15, 8, 4, truncating toward zero.
    const int expected[] = {198, 196, 192, 185, 170};
    for (int scale = MinPressureScale; scale <= MaxPressureScale; ++scale)
        EXPECT_EQ(PressureY(120, scale), expected[scale - 1]) << scale;
    EXPECT_EQ(PressureY(59, 1), 200);
    EXPECT_EQ(VolumeY(3500), 450 - 116);

    // Each labelled line lies where the curve draws the labelled pressure.
    for (int scale = MinPressureScale; scale <= MaxPressureScale; ++scale) {
        const std::vector<ScaleLine> lines = PressureScaleLines(scale);
        ASSERT_FALSE(lines.empty());
        for (const ScaleLine &line : lines)
            EXPECT_EQ(PressureY(line.label.toInt(), scale), line.y) << scale << " " << line.label.toStdString();
    }
    EXPECT_EQ(PressureScaleLines(1).size(), 11u);
    EXPECT_EQ(PressureScaleLines(1).front().y, 183);
    EXPECT_EQ(PressureScaleLines(5).back().label, "1000");

    // The litre labels stand beside the volume they name (a litre is 33 1/3
    // pixels, the labels are 33 apart).
    for (const ScaleLine &label : VolumeScaleLabels()) {
        const int litres = label.label.left(1).toInt();
        EXPECT_LE(std::abs(VolumeY(1000 * litres) - label.y), 2) << litres;
    }
}

} // namespace
