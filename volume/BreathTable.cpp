#include "volume/BreathTable.h"

#include <cmath>

namespace {

constexpr int SlotsPerSecond = 50;

// How a time step lays the recording out.
struct StepLayout {
    int rows;              // table rows below the header
    int slotsPerRow;
    int rowsPerIncrement;  // every n-th row carries the increment and the flow
    int mlPerSecond;       // factors from the increment's millilitres
    int litresPerHour;
};

constexpr std::array<StepLayout, 3> StepLayouts{{
    {1400, 1, 5, 10, 36},   // 0.02 s; increments over 0.1 s
    {280, 5, 1, 10, 36},    // 0.1 s
    {140, 10, 1, 5, 18},    // 0.2 s
}};

QString SlotTimeText(int slot)
{
    return QStringLiteral("%1.%2").arg(slot / SlotsPerSecond).arg(2 * (slot % SlotsPerSecond), 2, 10, QLatin1Char('0'));
}

QString FlowText(int flowUnit, int pressure, int increment, const StepLayout &layout)
{
    switch (flowUnit) {
    case UnitSensor:
        return QStringLiteral("%1").arg(pressure, 5);
    case UnitMlPerSecond:
        return QStringLiteral("%1").arg(increment * layout.mlPerSecond, 5);
    case UnitLitresPerHour:
        return QStringLiteral("%1").arg(double(increment * layout.litresPerHour), 6, 'f', 2);
    case UnitRotameter:
        return QStringLiteral("%1").arg(std::lround(RotameterMark(increment * layout.litresPerHour)), 6);
    default:
        return {};
    }
}

} // namespace

double RotameterMark(double x)
{
    const RotameterPoint &first = RotameterMarks.front();
    const RotameterPoint &last = RotameterMarks.back();
    if (x < first.litresPerHour)
        return 0;
    if (x >= last.litresPerHour) {
        const RotameterPoint &before = RotameterMarks[RotameterMarks.size() - 2];
        return last.mark + (x - last.litresPerHour) * (last.mark - before.mark)
                               / (last.litresPerHour - before.litresPerHour);
    }
    std::size_t i = 0;
    while (x >= RotameterMarks[i + 1].litresPerHour)
        ++i;
    const RotameterPoint &low = RotameterMarks[i];
    const RotameterPoint &high = RotameterMarks[i + 1];
    return low.mark + (x - low.litresPerHour) * (high.mark - low.mark) / (high.litresPerHour - low.litresPerHour);
}

std::vector<std::array<QString, 2>> RotameterTableTexts()
{
    std::vector<std::array<QString, 2>> rows{{QStringLiteral("Отм.шкалы"), QStringLiteral("литры/час")}};
    for (const RotameterPoint &point : RotameterMarks)
        rows.push_back({QString::number(point.mark), QString::number(point.litresPerHour)});
    return rows;
}

QStringList BreathTableHeaders()
{
    return {QStringLiteral("Время (c)"), QStringLiteral("Давлен.(ед.д.)"), QStringLiteral("Расход за 0.1с"),
            QStringLiteral("Объем (литры)"), QStringLiteral("Поток")};
}

std::vector<BreathTableRow> BuildBreathTable(const BreathArray &pressure, const BreathArray &volume, int timeStep,
                                             int flowUnit, int recordedEnd)
{
    std::vector<BreathTableRow> rows;
    if (timeStep < 0 || timeStep >= int(StepLayouts.size()))
        return rows;
    const StepLayout &layout = StepLayouts[timeStep];
    rows.reserve(layout.rows);

    // A recording that restarted during a breath starts at the volume it had.
    int previousVolume = volume[0];
    for (int row = 0; row < layout.rows; ++row) {
        const int slot = row * layout.slotsPerRow;
        BreathTableRow &cells = rows.emplace_back();
        cells[0] = SlotTimeText(slot);
        cells[1] = QString::number(pressure[slot]);
        cells[3] = LitresText(volume[slot]);
        if (row % layout.rowsPerIncrement != 0 || slot > recordedEnd)
            continue;
        const int increment = volume[slot] - previousVolume;
        previousVolume = volume[slot];
        cells[2] = LitresText(increment);
        cells[4] = FlowText(flowUnit, pressure[slot], increment, layout);
    }
    return rows;
}
