#include "volume/BreathPoll.h"

#include <algorithm>

namespace {

constexpr uint8_t FlowRegisterCount = 10;
constexpr uint8_t FlowReplyLength = 16;
constexpr uint8_t VolumeRegisterCount = 4;
constexpr uint8_t VolumeReplyLength = 10;
constexpr int PressureByte = 7;   // register 18 of the flow block

int Word(uint8_t low, uint8_t high)
{
    return low + 256 * high;
}

} // namespace

FlowReading DecodeReading(const std::array<uint8_t, 10> &flowBlock, const std::array<uint8_t, 4> &volumeBlock)
{
    FlowReading reading;
    reading.volumeHalfMl = Word(volumeBlock[0], volumeBlock[1]);
    reading.timeTenths = Word(volumeBlock[2], volumeBlock[3]);
    reading.pressure = Word(flowBlock[PressureByte], flowBlock[PressureByte + 1]);
    return reading;
}

std::vector<PollEvent> BreathPoller::Start()
{
    std::vector<PollEvent> out;
    m_polling = true;
    StartRequest(DeviceBlockAddress, PollFlowMode, out);
    return out;
}

void BreathPoller::Stop()
{
    m_polling = false;
    m_awaitReply = false;
    m_reader.Idle();
}

void BreathPoller::StartRequest(int32_t address, int32_t mode, std::vector<PollEvent> &out)
{
    m_mode = mode;
    if (mode == PollFlowMode)
        m_txFrame = RegisterReadFrame(static_cast<uint8_t>(address & 0xFF), FlowRegisterCount, FlowReplyLength);
    else
        m_txFrame = RegisterReadFrame(VolumeBlockAddress, VolumeRegisterCount, VolumeReplyLength);
    m_retryCount = 0;
    Resend(out);
}

void BreathPoller::Resend(std::vector<PollEvent> &out)
{
    m_reader.Expect(m_txFrame);
    m_awaitReply = true;
    out.push_back({PollEvent::Send, m_txFrame, {}, PollStop::None});
}

void BreathPoller::End(PollStop why, std::vector<PollEvent> &out)
{
    Stop();
    out.push_back({PollEvent::Stopped, {}, {}, why});
}

std::vector<PollEvent> BreathPoller::Receive(const uint8_t *bytes, std::size_t count)
{
    std::vector<PollEvent> out;
    for (std::size_t i = 0; i < count && m_awaitReply; ++i) {
        const std::optional<ReplyVerdict> verdict = m_reader.Feed(bytes[i]);
        if (!verdict || *verdict == ReplyVerdict::Late)
            continue;
        m_awaitReply = false;
        if (*verdict == ReplyVerdict::Taken)
            TakeReply(out);
        else
            BadReply(out);
        // The rest of this delivery came before the request just sent: a
        // copy of a reply there would otherwise answer it, and every later
        // request would go out twice.
        break;
    }
    m_reader.TakeDropped();
    return out;
}

void BreathPoller::TakeReply(std::vector<PollEvent> &out)
{
    const uint8_t *data = m_reader.Reply() + ReplyHeaderLength;
    if (m_txFrame.bytes[3] == DeviceBlockAddress) {
        // The cycle starts. No sample yet: the blocks are those of earlier
        // reads, or nothing at all.
        StartRequest(VolumeBlockAddress, PollVolumeMode, out);
    } else if (m_mode == PollFlowMode) {
        std::copy_n(data, m_flowBlock.size(), m_flowBlock.begin());
        StartRequest(VolumeBlockAddress, PollVolumeMode, out);
        out.push_back({PollEvent::Sample, {}, DecodeReading(m_flowBlock, m_volumeBlock), PollStop::None});
    } else {
        std::copy_n(data, m_volumeBlock.size(), m_volumeBlock.begin());
        StartRequest(FlowBlockAddress, PollFlowMode, out);
    }
}

void BreathPoller::BadReply(std::vector<PollEvent> &out)
{
    if (++m_retryCount < MaxRetries)
        Resend(out);
    else
        End(PollStop::WrongEcho, out);
}

std::vector<PollEvent> BreathPoller::Silence()
{
    std::vector<PollEvent> out;
    if (!m_awaitReply)
        return out;
    if (++m_retryCount < MaxRetries)
        Resend(out);
    else
        End(PollStop::Silence, out);
    return out;
}
