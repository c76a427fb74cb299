#pragma once
// Time as the instrument sees it: the PC's local time of day, counted in
// milliseconds since 1970-01-01 00:00 local time, and the instrument's own
// real-time clock kept as packed BCD registers.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace vinst {

using LocalClock = std::function<std::int64_t()>;

// The PC clock with its time zone applied.
std::int64_t PcLocalMilliseconds();

struct CivilTime {
    int year = 2000;  // four digits
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

CivilTime ToCivil(std::int64_t localSeconds);
// Nothing when the fields do not name a real moment (31 April, hour 24).
std::optional<std::int64_t> FromCivil(const CivilTime &time);

std::uint8_t ToBcd(int value);  // 0..99
// Nothing when a nibble is above 9.
std::optional<int> FromBcd(std::uint8_t value);

// The clock chip: seconds, minutes, hours, a spare byte, day, month, year,
// packed BCD. It runs with the PC clock from the moment it was set. A setting
// that names no real moment is kept as written and the clock stands still
// until it is set again, as a stopped chip would.
class InstrumentClock {
public:
    using Registers = std::array<std::uint8_t, 7>;

    Registers read(std::int64_t nowMs) const;
    void set(const Registers &registers, std::int64_t nowMs);

private:
    std::int64_t m_offsetSeconds = 0;  // instrument time minus PC time
    std::optional<Registers> m_stopped;
    std::uint8_t m_spare = 0;
};

}  // namespace vinst
