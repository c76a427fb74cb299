#pragma once
// Frames of the instrument's serial protocol.
//
// A request is ':' (0x3A), its total length, a command code, the address low
// and high byte, a byte count n, then for writes the n data bytes and for
// command 7 a checksum (sum of bytes 1 to the last data byte, modulo 256).
// Replies have the same header and carry the data bytes from byte 6 on.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vinst {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t StartByte = 0x3A;

enum Command : std::uint8_t {
    ReadMemory = 1,
    ReadMemorySecond = 2,
    ReadRegisters = 3,
    WriteMemory = 5,
    WriteRegisters = 7,
};

// The longest request: a memory write of 8 bytes.
inline constexpr std::size_t MaxRequestLength = 14;
inline constexpr std::size_t MinRequestLength = 6;
inline constexpr std::size_t MaxWriteBytes = 8;

struct Request {
    std::uint8_t command = 0;
    std::uint16_t address = 0;
    std::uint8_t count = 0;
    Bytes data;  // write commands only
};

std::uint8_t Checksum(std::span<const std::uint8_t> bytes);

// Whether `frame` is a complete, consistent request (length byte, command,
// count and, for command 7, checksum).
bool IsWellFormedRequest(std::span<const std::uint8_t> frame);

// Only for frames that IsWellFormedRequest accepts.
Request ParseRequest(std::span<const std::uint8_t> frame);

// Builds request frames; the tests use them to speak to the instrument.
Bytes MakeReadFrame(std::uint8_t command, std::uint16_t address, std::uint8_t count);
Bytes MakeWriteFrame(std::uint16_t address, std::span<const std::uint8_t> data);
Bytes MakeRegisterWriteFrame(std::uint8_t address, std::uint8_t first, std::uint8_t second);

// "3A 06 01 00 00 2E"
std::string HexText(std::span<const std::uint8_t> bytes);

// Cuts a byte stream into requests. Bytes that cannot begin a request are
// passed over until the next ':'; a ':' whose frame turns out inconsistent
// is passed over as well, so a frame hidden behind line noise is still found.
class FrameReader {
public:
    struct Piece {
        enum Kind { Frame, Skipped } kind;
        Bytes bytes;
    };

    std::vector<Piece> feed(std::span<const std::uint8_t> bytes);

    // Gives up a frame that stopped arriving half way; its bytes come back as
    // skipped ones.
    std::vector<Piece> dropPartial();

    bool hasPartial() const { return !m_pending.empty(); }

private:
    void skip(std::size_t count);
    void flushSkipped(std::vector<Piece> &out);

    Bytes m_pending;
    Bytes m_skipped;
};

}  // namespace vinst
