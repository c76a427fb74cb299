#include "vinst/Signals.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vinst {

namespace {

constexpr std::int64_t CycleTenths = 120;
constexpr std::int64_t BreathBegins = 20;
constexpr std::int64_t BreathTenths = 50;
constexpr double PeakPressure = 700;
constexpr double BreathVolumeHalfMl = 7000;  // 3.5 litres
constexpr std::uint16_t RestPressure = 3;

// 0, 1, ..., half, ..., 1, 0 over one period.
int Triangle(std::int64_t value, int half)
{
    const int phase = static_cast<int>(value % (2 * half));
    return phase < half ? phase : 2 * half - phase;
}

}  // namespace

FlowSample FlowAt(std::int64_t uptimeMs)
{
    const std::int64_t tenths = uptimeMs / 100;
    const std::int64_t phase = tenths % CycleTenths;
    FlowSample s;
    s.timeTenths = static_cast<std::uint16_t>(tenths & 0xFFFF);
    s.pressure = RestPressure;
    if (phase < BreathBegins)
        return s;
    const double progress = std::min(1.0, double(phase - BreathBegins) / BreathTenths);
    s.volumeHalfMl = static_cast<std::uint16_t>(BreathVolumeHalfMl * (1 - std::cos(std::numbers::pi * progress)) / 2);
    if (progress < 1.0)
        s.pressure = static_cast<std::uint16_t>(RestPressure + PeakPressure * std::sin(std::numbers::pi * progress));
    return s;
}

LiveSample LiveAt(std::int64_t uptimeMs)
{
    const std::int64_t seconds = uptimeMs / 1000;
    LiveSample s;
    s.ethanolTenths = 0;
    s.ethanolMv = static_cast<std::uint16_t>(2990 + Triangle(seconds, 15));
    s.pressureMv = static_cast<std::uint16_t>(1195 + Triangle(seconds, 5) * 2);
    s.batteryMv = static_cast<std::uint16_t>(3960 - seconds / 60 % 20);
    return s;
}

}  // namespace vinst
