#include "vinst/Instrument.h"

namespace vinst {

namespace {

constexpr std::size_t HeaderLength = 6;
constexpr std::uint8_t CorrectionReadCount = 2;

}  // namespace

Instrument::Instrument(Memory memory, LocalClock clock)
    : m_memory(std::move(memory)), m_clock(std::move(clock)), m_registers(m_clock())
{
}

Bytes Instrument::replyHeader(const Request &request, std::size_t dataLength) const
{
    return {StartByte,
            static_cast<std::uint8_t>(HeaderLength + dataLength),
            request.command,
            static_cast<std::uint8_t>(request.address & 0xFF),
            static_cast<std::uint8_t>(request.address >> 8),
            static_cast<std::uint8_t>(dataLength)};
}

Bytes Instrument::answer(const Request &request)
{
    Bytes data;
    switch (request.command) {
    case ReadMemory:
    case ReadMemorySecond:
        data = m_memory.read(request.address, request.count);
        break;
    case ReadRegisters: {
        const std::size_t count = request.count == CorrectionReadCount ? 1 : request.count;
        data = m_registers.read(static_cast<std::uint8_t>(request.address), count, m_clock());
        break;
    }
    case WriteMemory:
        m_memory.write(request.address, request.data);
        data = request.data;
        break;
    case WriteRegisters:
        m_registers.write(static_cast<std::uint8_t>(request.address), request.data[0], request.data[1],
                          m_clock());
        data = request.data;
        break;
    }
    Bytes reply = replyHeader(request, data.size());
    reply.insert(reply.end(), data.begin(), data.end());
    return reply;
}

}  // namespace vinst
