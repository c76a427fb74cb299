#pragma once
// The instrument's measured values, made up from the time since it was
// switched on so that they move like real ones.

#include <cstdint>

namespace vinst {

// The flow measurement: a built-in breath every 12 s. The pressure stays at a
// few units, rises well above 10 for five seconds and falls back; the volume
// grows during the breath and is kept until the next one starts.
struct FlowSample {
    std::uint16_t pressure = 0;       // pressure-sensor units
    std::uint16_t volumeHalfMl = 0;   // exhaled volume in 0.5 ml
    std::uint16_t timeTenths = 0;     // instrument time in 0.1 s, wraps at 65536
};

FlowSample FlowAt(std::int64_t uptimeMs);

// The live values the service window watches, in millivolts, and the
// alcohol concentration in tenths of a per mille.
struct LiveSample {
    std::uint8_t ethanolTenths = 0;
    std::uint16_t ethanolMv = 0;
    std::uint16_t pressureMv = 0;
    std::uint16_t batteryMv = 0;
};

LiveSample LiveAt(std::int64_t uptimeMs);

}  // namespace vinst
