#include "vinst/Responder.h"

#include <algorithm>

namespace vinst {

namespace {

std::vector<Step> ToSteps(std::vector<FrameReader::Piece> pieces)
{
    std::vector<Step> steps;
    for (FrameReader::Piece &piece : pieces)
        steps.push_back({piece.kind == FrameReader::Piece::Frame ? Step::Received : Step::Skipped,
                         std::move(piece.bytes), 0, {}});
    return steps;
}

}  // namespace

Responder::Responder(Instrument &instrument, FaultFlags faults) : m_instrument(instrument), m_faults(faults)
{
}

std::vector<Step> Responder::feed(std::span<const std::uint8_t> bytes)
{
    if (m_unplugged)
        return {};
    std::vector<Step> out;
    for (Step &step : ToSteps(m_reader.feed(bytes))) {
        const bool isFrame = step.kind == Step::Received;
        out.push_back(std::move(step));
        if (isFrame && !m_unplugged)
            handleFrame(out.back().bytes, out);
    }
    return out;
}

std::vector<Step> Responder::dropPartial()
{
    return ToSteps(m_reader.dropPartial());
}

void Responder::handleFrame(const Bytes &frame, std::vector<Step> &out)
{
    ++m_requests;
    Bytes reply = m_instrument.answer(ParseRequest(frame));
    if (const std::string reason = withholdReason(); !reason.empty())
        out.push_back({Step::Withheld, {}, 0, reason});
    else
        out.push_back(shapeReply(std::move(reply)));
    if (m_faults.unplugAfter > 0 && m_requests >= m_faults.unplugAfter) {
        out.push_back({Step::Unplug, {}, 0, {}});
        m_unplugged = true;
    }
}

// A request left unanswered is still carried out, as when only the reply is
// lost on the line.
std::string Responder::withholdReason() const
{
    if (m_faults.silent)
        return "silent";
    if (m_requests < m_faults.answerFrom)
        return "answer-from";
    if (m_faults.dropEvery > 0 && m_requests % m_faults.dropEvery == 0)
        return "drop-every";
    return {};
}

Step Responder::shapeReply(Bytes reply)
{
    ++m_replies;
    if (m_replies <= m_faults.wrongEcho)
        reply[3] ^= 0x01;
    // Erased rather than resized: GCC cannot see that a resize here only
    // shrinks and warns of a huge fill.
    const std::size_t cut = std::min(reply.size(), static_cast<std::size_t>(std::max(0, m_faults.truncate)));
    reply.erase(reply.end() - static_cast<std::ptrdiff_t>(cut), reply.end());
    Bytes wire;
    for (int i = 0; i < m_faults.noise; ++i)
        wire.push_back(noiseByte());
    wire.insert(wire.end(), reply.begin(), reply.end());
    const std::size_t splitAt = m_faults.splitGapMs > 0 ? wire.size() / 2 : 0;
    return {Step::Reply, std::move(wire), splitAt, {}};
}

// Never ':', so that a reader that looks for the start byte can find the
// reply behind the noise.
std::uint8_t Responder::noiseByte()
{
    std::uint8_t b;
    do {
        m_noiseState = m_noiseState * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(m_noiseState >> 24);
    } while (b == StartByte);
    return b;
}

}  // namespace vinst
