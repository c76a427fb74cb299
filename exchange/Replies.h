#pragma once
// Picks the reply to a request out of the bytes the line delivers. A reply
// starts with ':', gives its own length and n = length - 6, repeats the
// request's command and address (only the low byte for the register
// commands), and for a write repeats the data written. Replies carry no
// checksum, so this is all that tells the instrument's answer from noise, a
// reply cut short, or a late copy of an earlier reply.
//
// Bytes before the ':' of a reply, and a ':' not followed by the expected
// length and command, are dropped. A complete reply is taken when it
// answers the request; a copy of the reply to the previous request (sent
// again by the instrument after a resend) is passed over; anything else is
// a bad reply, which the caller treats as a wrong echo.

#include "exchange/Frames.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

enum class ReplyVerdict {
    Taken,   // the reply to the request, in Reply()
    Late,    // another copy of the reply to the previous request
    Bad,     // framed like the reply but not answering the request
};

// True when `reply` (the request's replyLength bytes) answers `request`.
bool ReplyAnswers(const RequestFrame &request, const uint8_t *reply);

class ReplyReader {
public:
    // A request went out: collect its reply from the next ':'.
    void Expect(const RequestFrame &request);
    // The reply was taken, or the request given up: collect nothing more.
    void Idle();

    // Takes one byte; a verdict when it completes a reply.
    std::optional<ReplyVerdict> Feed(uint8_t byte);

    bool Expecting() const { return m_expecting; }
    const uint8_t *Reply() const { return m_buffer.data(); }
    int Count() const { return m_count; }   // bytes of the reply so far

    // Bytes passed over since the last call, in order.
    std::vector<uint8_t> TakeDropped();

private:
    bool HeadFits(int upTo) const;
    void Resync(int from);
    std::optional<ReplyVerdict> Judge();

    RequestFrame m_request;
    std::optional<RequestFrame> m_previous;   // the request answered last
    std::array<uint8_t, 272> m_buffer{};   // room for a 256-byte copy behind the header
    int m_count = 0;
    bool m_expecting = false;
    std::vector<uint8_t> m_dropped;
};
