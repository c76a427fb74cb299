#include "exchange/Replies.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int HeaderCheckLength = ReplyHeaderLength;   // ':' length command address n

// The header byte `i` a reply to `request` carries; nothing for a byte
// that is not checked.
std::optional<uint8_t> HeaderByte(const RequestFrame &request, int i)
{
    switch (i) {
    case 0: return FrameStart;
    case 1: return request.replyLength;
    case 2: return request.command();
    case 3: return request.bytes[3];
    case 4:
        if (request.command() == CmdReadRegisters || request.command() == CmdWriteRegisters)
            return std::nullopt;
        return request.bytes[4];
    case 5: return static_cast<uint8_t>(request.replyLength - ReplyHeaderLength);
    default: return std::nullopt;
    }
}

bool IsWrite(const RequestFrame &request)
{
    return request.command() == CmdWriteMemory || request.command() == CmdWriteRegisters;
}

} // namespace

bool ReplyAnswers(const RequestFrame &request, const uint8_t *reply)
{
    for (int i = 0; i < HeaderCheckLength; ++i) {
        const std::optional<uint8_t> expected = HeaderByte(request, i);
        if (expected && reply[i] != *expected)
            return false;
    }
    // A write's reply repeats the data written: another write's reply at the
    // same address is no acknowledgement of this one.
    if (IsWrite(request))
        return std::equal(reply + ReplyHeaderLength, reply + request.replyLength, request.bytes.begin() + ReplyHeaderLength);
    return true;
}

void ReplyReader::Expect(const RequestFrame &request)
{
    m_request = request;
    m_count = 0;
    m_expecting = request.replyLength >= ReplyHeaderLength;
}

void ReplyReader::Idle()
{
    m_count = 0;
    m_expecting = false;
}

std::vector<uint8_t> ReplyReader::TakeDropped()
{
    return std::exchange(m_dropped, {});
}

bool ReplyReader::HeadFits(int upTo) const
{
    // Only the length and command bytes are checked while a reply comes in:
    // a late reply to the previous request has them too when both requests
    // are alike, and is told apart once complete.
    for (int i = 0; i < std::min(upTo, 3); ++i) {
        if (m_buffer[i] != *HeaderByte(m_request, i))
            return false;
    }
    return true;
}

void ReplyReader::Resync(int from)
{
    // What came before `from` was no reply; the rest is looked at again.
    m_dropped.insert(m_dropped.end(), m_buffer.begin(), m_buffer.begin() + from);
    std::copy(m_buffer.begin() + from, m_buffer.begin() + m_count, m_buffer.begin());
    m_count -= from;
    while (m_count > 0 && !HeadFits(m_count)) {
        m_dropped.push_back(m_buffer[0]);
        std::copy(m_buffer.begin() + 1, m_buffer.begin() + m_count, m_buffer.begin());
        --m_count;
    }
}

std::optional<ReplyVerdict> ReplyReader::Feed(uint8_t byte)
{
    if (!m_expecting) {
        m_dropped.push_back(byte);
        return std::nullopt;
    }
    m_buffer[m_count++] = byte;
    if (!HeadFits(m_count)) {
        Resync(1);
        return std::nullopt;
    }
    if (m_count < m_request.replyLength)
        return std::nullopt;
    return Judge();
}

std::optional<ReplyVerdict> ReplyReader::Judge()
{
    // The header of a reply of this shape inside what was collected, whatever
    // address it echoes: the bytes before it are a reply cut short, or noise.
    const int length = m_request.replyLength;
    for (int from = 1; from + HeaderCheckLength <= length; ++from) {
        if (m_buffer[from] != FrameStart)
            continue;
        bool header = true;
        for (int i : {1, 2, 5})
            header = header && m_buffer[from + i] == *HeaderByte(m_request, i);
        if (header) {
            Resync(from);
            return std::nullopt;
        }
    }

    m_count = 0;
    if (ReplyAnswers(m_request, m_buffer.data())) {
        m_previous = m_request;
        m_expecting = false;
        return ReplyVerdict::Taken;
    }
    if (m_previous && m_previous->replyLength == length && ReplyAnswers(*m_previous, m_buffer.data())) {
        m_dropped.insert(m_dropped.end(), m_buffer.begin(), m_buffer.begin() + length);
        return ReplyVerdict::Late;
    }
    m_expecting = false;
    return ReplyVerdict::Bad;
}
