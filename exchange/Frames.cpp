#include "exchange/Frames.h"

namespace {

RequestFrame FrameHeader(uint8_t length, uint8_t command, uint8_t addressLo, uint8_t addressHi, uint8_t n)
{
    RequestFrame frame;
    frame.bytes[0] = FrameStart;
    frame.bytes[1] = length;
    frame.bytes[2] = command;
    frame.bytes[3] = addressLo;
    frame.bytes[4] = addressHi;
    frame.bytes[5] = n;
    frame.length = length;
    return frame;
}

} // namespace

RequestFrame MemoryReadFrame(uint8_t command, uint8_t addressLo, uint8_t addressHi, uint8_t n)
{
    RequestFrame frame = FrameHeader(6, command, addressLo, addressHi, n);
    frame.replyLength = static_cast<uint8_t>(n + ReplyHeaderLength);
    return frame;
}

RequestFrame RegisterReadFrame(uint8_t address, uint8_t n, uint8_t replyLength)
{
    RequestFrame frame = FrameHeader(6, CmdReadRegisters, address, 0, n);
    frame.replyLength = replyLength;
    return frame;
}

RequestFrame MemoryWriteFrame(uint8_t addressLo, uint8_t addressHi, const uint8_t *data, uint8_t n)
{
    if (n > MaxWriteChunk)
        n = MaxWriteChunk;
    const auto length = static_cast<uint8_t>(n + ReplyHeaderLength);
    RequestFrame frame = FrameHeader(length, CmdWriteMemory, addressLo, addressHi, n);
    for (int i = 0; i < n; ++i)
        frame.bytes[6 + i] = data[i];
    frame.replyLength = length;
    return frame;
}

RequestFrame RegisterWriteFrame(uint8_t address, uint8_t data1, uint8_t data2)
{
    RequestFrame frame = FrameHeader(9, CmdWriteRegisters, address, 0, 2);
    frame.bytes[6] = data1;
    frame.bytes[7] = data2;
    frame.bytes[8] = RegisterWriteChecksum(address, data1, data2);
    frame.replyLength = RegisterWriteReplyLength;
    return frame;
}

uint8_t RegisterWriteChecksum(uint8_t address, uint8_t data1, uint8_t data2)
{
    // 9 + 7 + address + 0 + 2 + data1 + data2
    return static_cast<uint8_t>(address + 18 + data1 + data2);
}
