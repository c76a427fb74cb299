#include "vinst/Frame.h"

#include <algorithm>
#include <cstdio>

namespace vinst {

namespace {

constexpr std::size_t HeaderLength = 6;

bool IsSaneLength(std::uint8_t length)
{
    return length >= MinRequestLength && length <= MaxRequestLength;
}

}  // namespace

std::uint8_t Checksum(std::span<const std::uint8_t> bytes)
{
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    return static_cast<std::uint8_t>(sum);
}

bool IsWellFormedRequest(std::span<const std::uint8_t> frame)
{
    if (frame.size() < MinRequestLength || frame[0] != StartByte || frame[1] != frame.size())
        return false;
    const std::uint8_t count = frame[5];
    switch (frame[2]) {
    case ReadMemory:
    case ReadMemorySecond:
        return frame.size() == HeaderLength;
    case ReadRegisters:
        return frame.size() == HeaderLength && frame[4] == 0;
    case WriteMemory:
        return count >= 1 && count <= MaxWriteBytes && frame.size() == HeaderLength + count;
    case WriteRegisters:
        return count == 2 && frame.size() == HeaderLength + 3 && frame[4] == 0
               && Checksum(frame.subspan(1, 7)) == frame[8];
    default:
        return false;
    }
}

Request ParseRequest(std::span<const std::uint8_t> frame)
{
    Request r;
    r.command = frame[2];
    r.address = static_cast<std::uint16_t>(frame[3] | frame[4] << 8);
    r.count = frame[5];
    if (r.command == WriteMemory || r.command == WriteRegisters)
        r.data.assign(frame.begin() + HeaderLength, frame.begin() + HeaderLength + r.count);
    return r;
}

Bytes MakeReadFrame(std::uint8_t command, std::uint16_t address, std::uint8_t count)
{
    return {StartByte, 6, command, static_cast<std::uint8_t>(address & 0xFF),
            static_cast<std::uint8_t>(address >> 8), count};
}

Bytes MakeWriteFrame(std::uint16_t address, std::span<const std::uint8_t> data)
{
    // Sized once and filled in place: appending to a header built from a list
    // is read by GCC 12 at -O3 as a copy out of bounds.
    Bytes frame(HeaderLength + data.size());
    frame[0] = StartByte;
    frame[1] = static_cast<std::uint8_t>(frame.size());
    frame[2] = WriteMemory;
    frame[3] = static_cast<std::uint8_t>(address & 0xFF);
    frame[4] = static_cast<std::uint8_t>(address >> 8);
    frame[5] = static_cast<std::uint8_t>(data.size());
    std::copy(data.begin(), data.end(), frame.begin() + HeaderLength);
    return frame;
}

Bytes MakeRegisterWriteFrame(std::uint8_t address, std::uint8_t first, std::uint8_t second)
{
    Bytes frame{StartByte, 9, WriteRegisters, address, 0, 2, first, second};
    frame.push_back(Checksum(std::span(frame).subspan(1)));
    return frame;
}

std::string HexText(std::span<const std::uint8_t> bytes)
{
    std::string text;
    text.reserve(bytes.size() * 3);
    char digits[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        if (!text.empty())
            text += ' ';
        text += digits;
    }
    return text;
}

std::vector<FrameReader::Piece> FrameReader::feed(std::span<const std::uint8_t> bytes)
{
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
    std::vector<Piece> out;
    while (!m_pending.empty()) {
        if (m_pending[0] != StartByte) {
            const auto next = std::find(m_pending.begin() + 1, m_pending.end(), StartByte);
            skip(static_cast<std::size_t>(next - m_pending.begin()));
            continue;
        }
        if (m_pending.size() < 2)
            break;
        const std::uint8_t length = m_pending[1];
        if (!IsSaneLength(length)) {
            skip(1);
            continue;
        }
        if (m_pending.size() < length)
            break;
        if (!IsWellFormedRequest(std::span(m_pending).first(length))) {
            skip(1);
            continue;
        }
        flushSkipped(out);
        out.push_back({Piece::Frame, Bytes(m_pending.begin(), m_pending.begin() + length)});
        m_pending.erase(m_pending.begin(), m_pending.begin() + length);
    }
    flushSkipped(out);
    return out;
}

std::vector<FrameReader::Piece> FrameReader::dropPartial()
{
    skip(m_pending.size());
    std::vector<Piece> out;
    flushSkipped(out);
    return out;
}

void FrameReader::skip(std::size_t count)
{
    m_skipped.insert(m_skipped.end(), m_pending.begin(), m_pending.begin() + count);
    m_pending.erase(m_pending.begin(), m_pending.begin() + count);
}

void FrameReader::flushSkipped(std::vector<Piece> &out)
{
    if (m_skipped.empty())
        return;
    out.push_back({Piece::Skipped, std::move(m_skipped)});
    m_skipped.clear();
}

}  // namespace vinst
