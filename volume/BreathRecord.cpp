#include "volume/BreathRecord.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::array<int, MaxPressureScale> PressureDivisors{60, 30, 15, 8, 4};

const QPoint PressureOrigin(GraphLeft, PressureBaseline);
const QPoint VolumeOrigin(GraphLeft, VolumeBaseline);

} // namespace

int PressureDivisor(int scale)
{
    return PressureDivisors[std::clamp(scale, MinPressureScale, MaxPressureScale) - 1];
}

int PressureY(int pressure, int scale)
{
    return PressureBaseline - pressure / PressureDivisor(scale);
}

int VolumeY(int volumeMl)
{
    return VolumeBaseline - volumeMl / VolumeMlPerPixel;
}

QString InstrumentTimeText(int tenths)
{
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

QString LitresText(int ml)
{
    const QString sign = ml < 0 ? QStringLiteral("-") : QString();
    const int magnitude = ml < 0 ? -ml : ml;
    return sign + QStringLiteral("%1.%2").arg(magnitude / 1000).arg(magnitude % 1000, 3, 10, QLatin1Char('0'));
}

BreathRecorder::BreathRecorder() : PressurePen(PressureOrigin), VolumePen(VolumeOrigin)
{
}

void BreathRecorder::ClearArrays()
{
    BreathPressure.fill(0);
    BreathVolume.fill(0);
}

void BreathRecorder::BeginPolling()
{
    FillPendingVolume();
    BreathActive = false;
    PressurePen = PressureOrigin;
    VolumePen = VolumeOrigin;
}

void BreathRecorder::EndPolling()
{
    FillPendingVolume();
}

int BreathRecorder::RecordedEnd() const
{
    return std::min(LastSlot, VolumeFillFrom - 1);
}

// A new recording starts empty at the origin, so that a shorter breath does
// not show the tail of the one before it.
void BreathRecorder::RestartRecording()
{
    BreathStart = TimeNow;
    NextSlot = 0;
    VolumeFillFrom = 0;
    LastSlot = 0;
    ClearArrays();
    PressurePen = PressureOrigin;
    VolumePen = VolumeOrigin;
}

// The previous sample's volume belongs to the slots of its pressure.
void BreathRecorder::FillPendingVolume()
{
    for (int slot = VolumeFillFrom; slot <= LastSlot; ++slot)
        BreathVolume[slot] = VolumeNow;
    VolumeFillFrom = LastSlot + 1;
}

ShownSample BreathRecorder::Show(const FlowReading &reading)
{
    TimeNow = reading.timeTenths;
    PressureNow = reading.pressure;
    FillPendingVolume();

    VolumeNow = VolumeHold ? 0 : reading.volumeHalfMl / 2;
    const ShownSample shown{TimeNow, PressureNow, VolumeNow};

    if (!BreathActive) {
        VolumeNow = 0;
        if (PressureNow > BreathThreshold) {
            BreathActive = true;
            VolumeHold = false;
            RestartRecording();
        }
    } else if (PressureNow < BreathThreshold) {
        BreathActive = false;
    }
    return shown;
}

std::optional<PlotStep> BreathRecorder::Record(int pressureScale)
{
    if (!BreathActive)
        return std::nullopt;

    // The instrument's time restarted, or the breath outlasted the slots. Its
    // 16-bit clock wraps after 109 minutes; a breath goes on across the wrap.
    const auto elapsed = [this] { return static_cast<uint16_t>(TimeNow - BreathStart); };
    const bool restarted = elapsed() * SlotsPerTenth > LastBreathSlot;
    if (restarted)
        RestartRecording();
    const int slot = elapsed() * SlotsPerTenth;
    LastSlot = std::max(LastSlot, slot);
    VolumeFillFrom = NextSlot;
    for (; NextSlot <= slot; ++NextSlot)
        BreathPressure[NextSlot] = PressureNow;

    const int x = NextSlot + GraphLeft;
    PlotStep step;
    step.restarted = restarted;
    step.pressureFrom = PressurePen;
    step.pressureTo = PressurePen = QPoint(x, PressureY(PressureNow, pressureScale));
    step.volumeFrom = VolumePen;
    step.volumeTo = VolumePen = QPoint(x, VolumeY(VolumeNow));
    return step;
}
