#include "vinst/Registers.h"

#include "vinst/Signals.h"

namespace vinst {

namespace {

constexpr std::uint8_t DefaultCorrection = 10;  // one minute a month, fast
constexpr std::array<std::uint8_t, 10> DeviceBlock = {0x07, 0x4D, 0x01, 0x00, 0x00,
                                                      0x19, 0x00, 0x64, 0x00, 0x00};

void PutWord(std::array<std::uint8_t, 256> &image, std::uint8_t address, std::uint16_t value)
{
    image[address] = static_cast<std::uint8_t>(value & 0xFF);
    image[static_cast<std::uint8_t>(address + 1)] = static_cast<std::uint8_t>(value >> 8);
}

bool IsClockRegister(int address)
{
    return address >= reg::ClockFirst && address <= reg::ClockLast;
}

}  // namespace

Registers::Registers(std::int64_t startMs) : m_startMs(startMs)
{
    m_stored[reg::Correction] = DefaultCorrection;
    std::copy(DeviceBlock.begin(), DeviceBlock.end(), m_stored.begin() + reg::DeviceBlock);
}

Registers::Image Registers::snapshot(std::int64_t nowMs) const
{
    Image image = m_stored;
    const InstrumentClock::Registers clock = m_clock.read(nowMs);
    std::copy(clock.begin(), clock.end(), image.begin() + reg::ClockFirst);

    const std::int64_t uptime = nowMs - m_startMs;
    const FlowSample flow = FlowAt(uptime);
    PutWord(image, reg::FlowPressure, flow.pressure);
    PutWord(image, reg::Volume, flow.volumeHalfMl);
    PutWord(image, reg::Volume + 2, flow.timeTenths);

    const LiveSample live = LiveAt(uptime);
    image[reg::LiveValues] = live.ethanolTenths;
    PutWord(image, reg::LiveValues + 4, live.ethanolMv);
    PutWord(image, reg::LiveValues + 6, live.pressureMv);
    PutWord(image, reg::LiveValues + 8, live.batteryMv);
    return image;
}

void Registers::restore(const Image &image, std::int64_t nowMs)
{
    m_stored = image;
    InstrumentClock::Registers clock;
    std::copy(image.begin() + reg::ClockFirst, image.begin() + reg::ClockLast + 1, clock.begin());
    m_clock.set(clock, nowMs);
}

Bytes Registers::read(std::uint8_t address, std::size_t count, std::int64_t nowMs) const
{
    const Image image = snapshot(nowMs);
    Bytes out(count);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = image[(address + i) % image.size()];
    return out;
}

void Registers::write(std::uint8_t address, std::uint8_t first, std::uint8_t second, std::int64_t nowMs)
{
    if (address == reg::Correction) {
        m_stored[reg::Correction] = first;
        return;
    }
    const std::uint8_t next = static_cast<std::uint8_t>(address + 1);
    if (!IsClockRegister(address) && !IsClockRegister(next)) {
        m_stored[address] = first;
        m_stored[next] = second;
        return;
    }
    Image image = snapshot(nowMs);
    image[address] = first;
    image[next] = second;
    InstrumentClock::Registers clock;
    std::copy(image.begin() + reg::ClockFirst, image.begin() + reg::ClockLast + 1, clock.begin());
    m_clock.set(clock, nowMs);
    if (!IsClockRegister(address))
        m_stored[address] = first;
    if (!IsClockRegister(next))
        m_stored[next] = second;
}

}  // namespace vinst
