#include "exchange/Replies.h"

#include <algorithm>
#include <utility>

namespace {

// The n byte a reply describing itself carries. Used to find where a reply
// starts whatever it holds.
uint8_t ExpectedCount(const RequestFrame &request)
{
    return static_cast<uint8_t>(request.replyLength - ReplyHeaderLength);
}

constexpr int HeaderCheckLength = ReplyHeaderLength;   // ':' length command address n
constexpr int MaxPushedIn = 5;                         // the longest run of noise looked for in a header

bool IsRegisterCommand(const RequestFrame &request)
{
    return request.command() == CmdReadRegisters || request.command() == CmdWriteRegisters;
}

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
        if (IsRegisterCommand(request))
            return std::nullopt;
        return request.bytes[4];
    case 5:
        // The n byte where the request's count and the reply's data count
        // agree. The correction read asks for two registers and gets one
        // byte back: either count could stand there, so it is not checked.
        if (request.bytes[5] != ExpectedCount(request))
            return std::nullopt;
        return request.bytes[5];
    default: return std::nullopt;
    }
}

bool IsWrite(const RequestFrame &request)
{
    return request.command() == CmdWriteMemory || request.command() == CmdWriteRegisters;
}

// The place a write goes to: its command and address.
uint32_t WriteKey(const RequestFrame &request)
{
    return uint32_t(request.command()) << 16 | uint32_t(request.bytes[4]) << 8 | request.bytes[3];
}

// Whether `reply` repeats the data `request` wrote, as the instrument does.
bool EchoesData(const RequestFrame &request, const uint8_t *reply)
{
    return std::equal(reply + ReplyHeaderLength, reply + request.replyLength, request.bytes.begin() + ReplyHeaderLength);
}

// The bytes behind the ':' of a reply to `request`: length, command, the
// echoed address and n. The address's high byte is there in every reply,
// but a register reply may carry anything in it.
using Header = std::vector<std::optional<uint8_t>>;

Header HeaderAfterStart(const RequestFrame &request)
{
    const std::optional<uint8_t> high = IsRegisterCommand(request) ? std::nullopt : std::optional(request.bytes[4]);
    return {request.replyLength, request.command(), request.bytes[3], high, ExpectedCount(request)};
}

// How `bytes` [0, size) compare with `header` when `run` bytes were pushed
// in before its byte `at`; with no run, one byte of it may differ.
ReplyStart Compare(const Header &header, const uint8_t *bytes, int size, int at, int run)
{
    const int span = int(header.size()) + run;
    int wrong = 0;
    for (int j = 0; j < std::min(size, span); ++j) {
        if (j >= at && j < at + run)
            continue;
        const std::optional<uint8_t> expected = header[j < at ? j : j - run];
        wrong += expected && bytes[j] != *expected;
    }
    if (wrong > (run == 0 ? 1 : 0))
        return ReplyStart::No;
    return size >= span ? ReplyStart::Yes : ReplyStart::Maybe;
}

// Whether `bytes` [0, size) begin with `header` changed in at most one byte,
// or with a run of up to MaxPushedIn bytes pushed in somewhere: the marks a
// line leaves on a header. Maybe while too few bytes are there to tell.
ReplyStart HeaderWithOneFault(const Header &header, const uint8_t *bytes, int size)
{
    ReplyStart best = Compare(header, bytes, size, 0, 0);
    for (int run = 1; run <= MaxPushedIn; ++run) {
        for (int at = 0; at < int(header.size()); ++at)
            best = std::max(best, Compare(header, bytes, size, at, run));
    }
    return best;
}

} // namespace

bool ReplyAnswers(const RequestFrame &request, const uint8_t *reply)
{
    for (int i = 0; i < HeaderCheckLength; ++i) {
        const std::optional<uint8_t> expected = HeaderByte(request, i);
        if (expected && reply[i] != *expected)
            return false;
    }
    return true;
}

void ReplyReader::Expect(const RequestFrame &request)
{
    RememberHeld();
    ++m_sendings;
    // A request that goes out while an earlier one still owes its reply:
    // the rest of that reply, or all of it, may yet come.
    m_wary = m_wary || m_owing;
    m_aloneOnLine = !m_owing;
    m_owing = true;
    RememberWrite(request);
    m_request = request;
    m_count = 0;
    m_heldFrom = 0;
    m_expecting = request.replyLength >= ReplyHeaderLength;
}

void ReplyReader::Idle()
{
    RememberHeld();
    m_count = 0;
    m_heldFrom = 0;
    m_expecting = false;
}

void ReplyReader::Drop(uint8_t byte)
{
    m_dropped.push_back(byte);
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
    if (m_heldFrom != 0)
        return WatchHeldEnd();
    if (!HeadFits(m_count)) {
        Resync(1);
        return std::nullopt;
    }
    if (m_count < m_request.replyLength)
        return std::nullopt;
    return Judge();
}

ReplyStart ReplyReader::StartAt(int from) const
{
    if (m_buffer[from] != FrameStart)
        return ReplyStart::No;
    const uint8_t *header = m_buffer.data() + from + 1;
    const int size = m_count - from - 1;
    if (m_wary)
        return HeaderWithOneFault(HeaderAfterStart(m_request), header, size);
    // Whatever address it echoes: a reply to another request is no part of
    // this one either.
    const bool start = size >= ReplyHeaderLength - 1 && header[0] == m_request.replyLength
        && header[1] == m_request.command() && header[4] == ExpectedCount(m_request);
    return start ? ReplyStart::Yes : ReplyStart::No;
}

void ReplyReader::RememberWrite(const RequestFrame &request)
{
    if (!IsWrite(request))
        return;
    std::deque<RequestFrame> &sent = m_writesSent[WriteKey(request)];
    std::erase_if(sent, [&](const RequestFrame &earlier) { return EchoesData(earlier, request.bytes.data()); });
    sent.push_back(request);
    if (sent.size() > WritesRemembered)
        sent.pop_front();
}

bool ReplyReader::LateWriteEcho() const
{
    // Writes of the same length to the same place have replies alike but for
    // the data they repeat: a reply that repeats what an earlier one wrote,
    // and not this one's data, is a late reply to that one.
    if (!IsWrite(m_request) || EchoesData(m_request, m_buffer.data()))
        return false;
    const auto sent = m_writesSent.find(WriteKey(m_request));
    if (sent == m_writesSent.end())
        return false;
    return std::any_of(sent->second.begin(), sent->second.end(), [&](const RequestFrame &earlier) {
        return earlier.replyLength == m_request.replyLength && EchoesData(earlier, m_buffer.data());
    });
}

std::optional<ReplyVerdict> ReplyReader::Judge()
{
    // Another reply starting inside what was collected: the bytes before it
    // are a reply cut short, or noise. When the bytes at the end may begin
    // one, the reply is held until the next bytes tell; if none come, it is
    // not taken: a reply cut short and the start of another look just so.
    int maybeFrom = 0;
    for (int from = 1; from < m_request.replyLength; ++from) {
        const ReplyStart start = StartAt(from);
        if (start == ReplyStart::Yes)
            return ResyncAt(from);
        if (start == ReplyStart::Maybe && maybeFrom == 0)
            maybeFrom = from;
    }
    if (maybeFrom != 0 && !HeldBefore()) {
        m_heldFrom = maybeFrom;
        return std::nullopt;
    }
    return Verdict();
}

void ReplyReader::RememberHeld()
{
    if (m_heldFrom == 0)
        return;
    m_heldSending = m_sendings;
    m_heldRequest = m_request.bytes;
    m_heldReply.assign(m_buffer.begin(), m_buffer.begin() + m_request.replyLength);
}

bool ReplyReader::HeldBefore() const
{
    // A reply whose data end in what may start another is held, and refused
    // when nothing follows. The same bytes again, in answer to the next
    // sending of the same request, are the instrument's own: a reply cut
    // short joined to the start of the next would have to come about twice
    // in a row just so. Without this a block whose data end so could never
    // be read while the reader is wary.
    return m_heldSending + 1 == m_sendings && m_heldRequest == m_request.bytes
        && std::equal(m_heldReply.begin(), m_heldReply.end(), m_buffer.begin(), m_buffer.begin() + m_request.replyLength);
}

std::optional<ReplyVerdict> ReplyReader::ResyncAt(int from)
{
    Resync(from);
    return m_count >= m_request.replyLength ? Judge() : std::nullopt;
}

std::optional<ReplyVerdict> ReplyReader::WatchHeldEnd()
{
    const ReplyStart start = StartAt(m_heldFrom);
    if (start == ReplyStart::Maybe && m_count < int(m_buffer.size()))
        return std::nullopt;
    const int from = std::exchange(m_heldFrom, 0);
    if (start == ReplyStart::Yes)
        return ResyncAt(from);
    // No start there; one behind it may still be coming.
    if (start == ReplyStart::No && m_count < int(m_buffer.size()))
        return Judge();
    return Verdict();
}

std::optional<ReplyVerdict> ReplyReader::Verdict()
{
    const int length = m_request.replyLength;
    // What followed a held reply belongs to none.
    if (m_count > length)
        m_dropped.insert(m_dropped.end(), m_buffer.begin() + length, m_buffer.begin() + m_count);
    m_count = 0;
    if (ReplyAnswers(m_request, m_buffer.data()) && !LateWriteEcho()) {
        m_previous = m_request;
        m_expecting = false;
        m_owing = false;
        if (m_aloneOnLine)
            m_wary = false;
        return ReplyVerdict::Taken;
    }
    if (m_previous && m_previous->replyLength == length && ReplyAnswers(*m_previous, m_buffer.data())) {
        m_dropped.insert(m_dropped.end(), m_buffer.begin(), m_buffer.begin() + length);
        return ReplyVerdict::Late;
    }
    m_expecting = false;
    return ReplyVerdict::Bad;
}
