// The breath table and the rotameter scale, from recorded arrays.

#include "volume/BreathTable.h"

#include <gtest/gtest.h>

namespace {

BreathArray Filled(int (*value)(int slot))
{
    BreathArray values{};
    for (int slot = 0; slot < BreathSlots; ++slot)
        values[slot] = value(slot);
    return values;
}

TEST(VolumeTable, RotameterMarks)
{
    EXPECT_EQ(RotameterMark(36), 0);
    EXPECT_EQ(RotameterMark(-100), 0);
    EXPECT_DOUBLE_EQ(RotameterMark(37.1), 0);
    EXPECT_NEAR(RotameterMark(100), 29.86, 0.005);
    EXPECT_NEAR(RotameterMark(300), 118.33, 0.005);
    EXPECT_NEAR(RotameterMark(1800), 743.33, 0.005);
    // Every mark of the scale at its own flow, and the segments between them
    // straight.
    for (std::size_t i = 0; i < RotameterMarks.size(); ++i) {
        EXPECT_NEAR(RotameterMark(RotameterMarks[i].litresPerHour), RotameterMarks[i].mark, 1e-9) << i;
        if (i + 1 < RotameterMarks.size()) {
            const double middle = (RotameterMarks[i].litresPerHour + RotameterMarks[i + 1].litresPerHour) / 2;
            EXPECT_NEAR(RotameterMark(middle), RotameterMarks[i].mark + 10, 1e-9) << i;
        }
    }

    const auto texts = RotameterTableTexts();
    ASSERT_EQ(texts.size(), 7u);
    EXPECT_EQ(texts[0][0], "Отм.шкалы");
    EXPECT_EQ(texts[0][1], "литры/час");
    EXPECT_EQ(texts[1][1], "37.1");
    EXPECT_EQ(texts[3][1], "121");
    EXPECT_EQ(texts[6][0], "100");
    EXPECT_EQ(texts[6][1], "256");
}

TEST(VolumeTable, StepsAndUnitsOnASteadyFlow)
{
    // 10 ml more in every slot; the pressure names its slot.
    const BreathArray volume = Filled([](int slot) { return 10 * slot; });
    const BreathArray pressure = Filled([](int slot) { return slot % 1000; });

    struct Case {
        int step;
        std::size_t rows;
        int slotsPerRow;
        const char *increment;
        const char *flows[4];   // the flow column in the four units, from the second increment on
    };
    const Case cases[] = {
        {Step002, 1400, 1, "0.050", {nullptr, "  500", "1800.00", "   743"}},
        {Step01, 280, 5, "0.050", {nullptr, "  500", "1800.00", "   743"}},
        {Step02, 140, 10, "0.100", {nullptr, "  500", "1800.00", "   743"}},
    };
    for (const Case &c : cases) {
        for (int unit = UnitSensor; unit <= UnitRotameter; ++unit) {
            SCOPED_TRACE(testing::Message() << "step " << c.step << " unit " << unit);
            const std::vector<BreathTableRow> rows = BuildBreathTable(pressure, volume, c.step, unit);
            ASSERT_EQ(rows.size(), c.rows);
            const int incrementEvery = c.step == Step002 ? 5 : 1;
            for (std::size_t row = 0; row < rows.size(); ++row) {
                const int slot = int(row) * c.slotsPerRow;
                ASSERT_EQ(rows[row][1], QString::number(slot % 1000)) << row;
                ASSERT_EQ(rows[row][3], LitresText(10 * slot)) << row;
                if (row % incrementEvery != 0) {
                    ASSERT_TRUE(rows[row][2].isEmpty() && rows[row][4].isEmpty()) << row;
                    continue;
                }
                if (row == 0)
                    continue;   // the first increment is from nothing
                ASSERT_EQ(rows[row][2], c.increment) << row;
                const QString flow = unit == UnitSensor ? QStringLiteral("%1").arg(slot % 1000, 5)
                                                        : QString::fromUtf8(c.flows[unit]);
                ASSERT_EQ(rows[row][4], flow) << row;
            }
        }
    }

    const std::vector<BreathTableRow> fine = BuildBreathTable(pressure, volume, Step002, UnitSensor);
    EXPECT_EQ(fine[0][0], "0.00");
    EXPECT_EQ(fine[5][0], "0.10");
    EXPECT_EQ(fine[1399][0], "27.98");
    EXPECT_EQ(fine[0][2], "0.000");
    EXPECT_EQ(BuildBreathTable(pressure, volume, Step02, UnitSensor)[139][0], "27.80");
}

TEST(VolumeTable, EmptyRecordingAndUnusualValues)
{
    const BreathArray zero{};
    const std::vector<BreathTableRow> empty = BuildBreathTable(zero, zero, Step01, UnitLitresPerHour);
    ASSERT_EQ(empty.size(), 280u);
    EXPECT_EQ(empty[279], (BreathTableRow{"27.90", "0", "0.000", "0.000", "  0.00"}));

    // The list's two empty items, and no item at all, leave the flow empty.
    for (int unit : {4, 5, -1})
        EXPECT_EQ(BuildBreathTable(zero, zero, Step02, unit)[3], (BreathTableRow{"0.60", "0", "0.000", "0.000", ""}));
    EXPECT_TRUE(BuildBreathTable(zero, zero, 3, UnitSensor).empty());

    // Increments of a litre or more, and negative ones, as signed litres;
    // none past the end of the recording, where nothing flowed back.
    BreathArray volume{};
    volume[10] = 1500;
    volume[20] = 1000;
    volume[30] = 1006;
    const std::vector<BreathTableRow> rows = BuildBreathTable(zero, volume, Step02, UnitMlPerSecond, 34);
    EXPECT_EQ(rows[1][2], "1.500");
    EXPECT_EQ(rows[1][4], " 7500");
    EXPECT_EQ(rows[2][2], "-0.500");
    EXPECT_EQ(rows[2][4], "-2500");
    EXPECT_EQ(rows[3][2], "0.006");
    EXPECT_EQ(rows[4], (BreathTableRow{"0.80", "0", "", "0.000", ""}));
    EXPECT_TRUE(BuildBreathTable(zero, volume, Step002, UnitSensor, -1)[0][2].isEmpty());

    // Scale marks are rounded, not cut: 108 l/h is mark 33.72.
    const std::vector<BreathTableRow> marks = BuildBreathTable(zero, volume, Step02, UnitRotameter);
    EXPECT_EQ(marks[3][4], "    34");
    EXPECT_EQ(marks[2][4], "     0");
}

} // namespace
