#include "sensor/SensorEdit.h"

#include "store/OrbACfg.h"

#include <algorithm>
#include <limits>

std::array<int, SensorTableRows> SensorTableFromRecord(const SensorWordArray &words,
                                                       const MixtureArray &mixtures,
                                                       int volumeCoef, int sensorNumber)
{
    const SensorWordArray &w = words;
    std::array<int, SensorTableRows> rows{};
    rows[0] = w[0];
    rows[1] = w[1];
    rows[2] = w[2];
    rows[3] = w[5];
    rows[4] = w[6];
    rows[5] = w[10];
    rows[6] = mixtures[6];
    for (int i = 0; i < 10; ++i)
        rows[7 + i] = w[14 + i];
    rows[17] = volumeCoef == 0 ? DefaultVolumeCoef : volumeCoef;
    rows[18] = w[22] - w[23];
    rows[19] = w[12];
    rows[20] = 1;
    rows[21] = w[27];
    rows[22] = sensorNumber;
    return rows;
}

int FirstRowNotAWord(const std::array<int, SensorTableRows> &rows)
{
    const auto bad = std::find_if(rows.begin(), rows.end(), [](int word) { return !IsWord(word); });
    return bad == rows.end() ? -1 : static_cast<int>(bad - rows.begin());
}

MixtureArray PlusOneMixtures(const MixtureArray &typed)
{
    const bool usable = std::all_of(typed.begin(), typed.end(),
                                    [](int reading) { return reading >= LowestReading; });
    return usable ? typed : DefaultMixtures;
}

MixtureArray ShiftedMixtures(const MixtureArray &readings, qint64 amount)
{
    MixtureArray shifted{};
    std::transform(readings.begin(), readings.end(), shifted.begin(), [amount](int reading) {
        return static_cast<int>(std::clamp<qint64>(reading + amount,
                                                   std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
    });
    return shifted;
}

qint64 SteppedSensorNumber(qint64 typed, int step)
{
    return step < 0 && typed <= 0 ? typed : typed + step;
}

bool IsAccessCode(const QString &typed)
{
    return TypedNumber(typed) == AccessCode;
}
