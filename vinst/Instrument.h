#pragma once
// The instrument's answer to one request.
//
// Replies have the request's header with the length byte and the count byte
// describing the reply itself, and the data from byte 6 on:
//   1, 2  read memory:      n + 6 bytes, echo of the 16-bit address, n bytes
//   3     read registers:   n + 6 bytes, echo of the address; a read of
//                           n = 2 (the correction register) carries one byte
//   5     write memory:     the request frame itself, n + 6 bytes
//   7     write registers:  8 bytes, the request without its checksum
// A length byte of n + 6 above 255 wraps, as the program expects.
//
// A request that does not hold together (length, unknown command, a register
// address above 255, a command 7 checksum that does not add up) is taken for
// line noise and gets no reply at all, so the program sends it again after
// its silence interval; nothing is written.

#include "vinst/Clock.h"
#include "vinst/Frame.h"
#include "vinst/Memory.h"
#include "vinst/Registers.h"

namespace vinst {

class Instrument {
public:
    Instrument(Memory memory, LocalClock clock);

    Bytes answer(const Request &request);

    const Memory &memory() const { return m_memory; }
    const Registers &registers() const { return m_registers; }
    Registers &registers() { return m_registers; }
    std::int64_t now() const { return m_clock(); }

private:
    Bytes replyHeader(const Request &request, std::size_t dataLength) const;

    Memory m_memory;
    LocalClock m_clock;
    Registers m_registers;
};

}  // namespace vinst
