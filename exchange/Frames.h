#pragma once
// Request frames of the instrument's serial protocol:
//   ":" length command address-low address-high n [n data bytes] [checksum]
// where length counts the whole frame and only the register write (command 7)
// carries a checksum. Replies have a length known in advance; the program
// counts their bytes and looks only at the echoed address and the data.

#include <array>
#include <cstdint>

enum FrameCommand : uint8_t {
    CmdReadMemory = 1,
    CmdReadMemory2 = 2,     // the second memory read, used for the signal records
    CmdReadRegisters = 3,
    CmdWriteMemory = 5,
    CmdWriteRegisters = 7,
};

constexpr uint8_t FrameStart = 0x3A;            // ':'
constexpr int MaxWriteChunk = 8;                // data bytes of one memory write frame
constexpr int ReplyHeaderLength = 6;            // reply bytes before the data
constexpr uint8_t RegisterWriteReplyLength = 8;

struct RequestFrame {
    std::array<uint8_t, 16> bytes{};
    uint8_t length = 0;        // bytes to send
    uint8_t replyLength = 0;   // bytes of the reply to wait for
    uint8_t command() const { return bytes[2]; }
};

// Memory read (command 1 or 2) of n bytes; the reply is n + 6 bytes, modulo
// 256 like every length of the protocol.
RequestFrame MemoryReadFrame(uint8_t command, uint8_t addressLo, uint8_t addressHi, uint8_t n);

// Internal register read (command 3); the reply length depends on the
// register block and is given by the caller.
RequestFrame RegisterReadFrame(uint8_t address, uint8_t n, uint8_t replyLength);

// Memory write (command 5) of n <= 8 bytes; the reply echoes the frame.
RequestFrame MemoryWriteFrame(uint8_t addressLo, uint8_t addressHi, const uint8_t *data, uint8_t n);

// Write of two internal registers (command 7), with its checksum.
RequestFrame RegisterWriteFrame(uint8_t address, uint8_t data1, uint8_t data2);

// Sum of frame bytes 1..7 of a register write, modulo 256.
uint8_t RegisterWriteChecksum(uint8_t address, uint8_t data1, uint8_t data2);
