#pragma once
// Picks the reply to a request out of the bytes the line delivers. A reply
// starts with ':', gives its own length, repeats the request's command and
// the address (only the low byte for the register commands), and its n byte
// where the request's count and the reply's own agree (not for the
// correction read, whose reply holds one byte for the two asked). The data a
// write's reply repeats is never required: it only tells a late copy of the
// reply to an earlier write of other data to the same place. Replies carry
// no checksum, so this is all that tells the instrument's answer from noise, a reply cut
// short, or a late copy of an earlier reply.
//
// Bytes before the ':' of a reply, and a ':' not followed by the expected
// length and command, are dropped. A complete reply is taken when it
// answers the request; a copy of the reply to the previous request (sent
// again by the instrument after a resend) is passed over; anything else is
// a bad reply, which the caller treats as a wrong echo.
//
// A reply with the start of another inside it is no reply: the bytes before
// that start are dropped. Once a request has gone out while an earlier one
// still owed its reply, until a request alone on the line is answered, a
// start is also seen behind a header a line has marked (one byte changed or
// a few pushed in): a cut-short reply of the earlier sending must not be
// joined to the rest of a later one. A reply whose last bytes may begin
// such a header is held until the next bytes tell; if none come it is
// refused, and taken when the next sending brings the same bytes again.

#include "exchange/Frames.h"

#include <array>
#include <deque>
#include <map>
#include <cstdint>
#include <optional>
#include <vector>

enum class ReplyVerdict {
    Taken,   // the reply to the request, in Reply()
    Late,    // another copy of the reply to the previous request
    Bad,     // framed like the reply but not answering the request
};

// Whether another reply starts at a place in what was collected; Maybe
// while the bytes behind that place are too few to tell.
enum class ReplyStart { No, Maybe, Yes };

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
    // Passes a byte over unread.
    void Drop(uint8_t byte);

    bool Expecting() const { return m_expecting; }
    const uint8_t *Reply() const { return m_buffer.data(); }
    int Count() const { return m_count; }   // bytes of the reply so far

    // Bytes passed over since the last call, in order.
    std::vector<uint8_t> TakeDropped();

private:
    bool HeadFits(int upTo) const;
    void Resync(int from);
    ReplyStart StartAt(int from) const;
    void RememberWrite(const RequestFrame &request);
    bool LateWriteEcho() const;
    std::optional<ReplyVerdict> Judge();
    std::optional<ReplyVerdict> ResyncAt(int from);
    std::optional<ReplyVerdict> WatchHeldEnd();
    void RememberHeld();
    bool HeldBefore() const;
    std::optional<ReplyVerdict> Verdict();

    RequestFrame m_request;
    std::optional<RequestFrame> m_previous;   // the request answered last
    static constexpr std::size_t WritesRemembered = 4;
    std::map<uint32_t, std::deque<RequestFrame>> m_writesSent;   // the last writes of other data to each place
    std::array<uint8_t, 272> m_buffer{};   // room for a 256-byte copy behind the header
    int m_count = 0;
    int m_heldFrom = 0;           // where another reply may start behind a complete one; 0: none
    int m_sendings = 0;                        // requests that went out
    int m_heldSending = 0;                     // the last reply held and refused: its sending,
    std::array<uint8_t, 16> m_heldRequest{};   // its request
    std::vector<uint8_t> m_heldReply;          // and its bytes
    bool m_expecting = false;
    bool m_owing = false;         // a request went out and its reply was not taken
    bool m_aloneOnLine = false;   // nothing else owed a reply when this request went out
    bool m_wary = false;          // leftovers of earlier requests may still come
    std::vector<uint8_t> m_dropped;
};
