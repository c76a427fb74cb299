#pragma once
// The instrument's internal registers (commands 3 and 7): 256 byte-wide
// addresses, some of them live.
//
//   11..20    flow block; 18-19 the flow sensor's pressure (little-endian)
//   24        clock correction: bits 0-4 steps of 6 s a month, bit 5 = slow
//   25..31    clock: seconds, minutes, hours, spare, day, month, year (BCD)
//   32, 33    a pair the program clears; plain storage
//   78..87    live values: ethanol tenths, 3 spare, ethanol, pressure and
//             battery millivolts (words, little-endian)
//   148..157  device block read when breath polling starts
//   192..195  breath volume in 0.5 ml, instrument time in 0.1 s (words)
// Every other address is plain storage, zero at start.

#include "vinst/Clock.h"
#include "vinst/Frame.h"

#include <array>
#include <cstdint>

namespace vinst {

namespace reg {
inline constexpr std::uint8_t FlowPressure = 18;
inline constexpr std::uint8_t Correction = 24;
inline constexpr std::uint8_t ClockFirst = 25;
inline constexpr std::uint8_t ClockLast = 31;
inline constexpr std::uint8_t LiveValues = 78;
inline constexpr std::uint8_t DeviceBlock = 148;
inline constexpr std::uint8_t Volume = 192;
}  // namespace reg

class Registers {
public:
    // `startMs` is the local time the instrument was switched on; the flow
    // and live values run from it.
    explicit Registers(std::int64_t startMs);

    Bytes read(std::uint8_t address, std::size_t count, std::int64_t nowMs) const;

    // Command 7. At the correction register the two data bytes are the same
    // value sent twice: only that register changes. Elsewhere the two bytes
    // go to `address` and the next one; live values do not take writes.
    void write(std::uint8_t address, std::uint8_t first, std::uint8_t second, std::int64_t nowMs);

    // All 256 registers as they read now, and back: the clock is set to
    // what the image holds and runs on from there.
    using Image = std::array<std::uint8_t, 256>;
    Image snapshot(std::int64_t nowMs) const;
    void restore(const Image &image, std::int64_t nowMs);

private:

    Image m_stored{};
    InstrumentClock m_clock;
    std::int64_t m_startMs;
};

}  // namespace vinst
