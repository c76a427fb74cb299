#pragma once
// The instrument on the line: cuts the incoming bytes into requests, answers
// them and applies the fault flags. It does no input or output itself; the
// caller carries out the steps it returns, in order.

#include "vinst/Frame.h"
#include "vinst/Instrument.h"

#include <string>
#include <vector>

namespace vinst {

// Faults to play. Requests are counted from 1; every well-formed request
// counts, answered or not.
struct FaultFlags {
    bool silent = false;   // never answer
    int answerFrom = 1;    // leave requests 1 .. answerFrom-1 unanswered
    int dropEvery = 0;     // leave every dropEvery-th request unanswered
    int wrongEcho = 0;     // the first wrongEcho replies echo a wrong address
    int noise = 0;         // bytes of line noise before every reply
    int splitGapMs = 0;    // send every reply in two halves this far apart
    int truncate = 0;      // leave out the last bytes of every reply
    int unplugAfter = 0;   // go off the line after this many requests
};

struct Step {
    enum Kind {
        Received,  // bytes: a request as received
        Skipped,   // bytes: passed over while looking for a request
        Reply,     // bytes: what to send; splitAt > 0: the first piece's length
        Withheld,  // note: the fault flag that keeps a request unanswered
        Unplug,    // leave the line
    } kind;
    Bytes bytes;
    std::size_t splitAt = 0;
    std::string note;
};

class Responder {
public:
    Responder(Instrument &instrument, FaultFlags faults);

    std::vector<Step> feed(std::span<const std::uint8_t> bytes);
    // A request that stopped arriving half way is given up (see FrameReader).
    std::vector<Step> dropPartial();
    bool hasPartial() const { return m_reader.hasPartial(); }
    bool unplugged() const { return m_unplugged; }
    int requests() const { return m_requests; }

private:
    void handleFrame(const Bytes &frame, std::vector<Step> &out);
    std::string withholdReason() const;
    Step shapeReply(Bytes reply);
    std::uint8_t noiseByte();

    Instrument &m_instrument;
    FaultFlags m_faults;
    FrameReader m_reader;
    int m_requests = 0;
    int m_replies = 0;
    std::uint32_t m_noiseState = 0x2545F491;
    bool m_unplugged = false;
};

}  // namespace vinst
