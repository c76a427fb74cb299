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
}

void BreathPoller::StartRequest(int32_t address, int32_t mode, std::vector<PollEvent> &out)
{
    m_mode = mode;
    if (mode == PollFlowMode) {
        m_txFrame = RegisterReadFrame(static_cast<uint8_t>(address & 0xFF), FlowRegisterCount, FlowReplyLength);
        m_address = FlowBlockAddress;   // the device block's reply is told apart by its own echo
    } else {
        m_txFrame = RegisterReadFrame(VolumeBlockAddress, VolumeRegisterCount, VolumeReplyLength);
        m_address = VolumeBlockAddress;
    }
    m_retryCount = 0;
    Resend(out);
}

void BreathPoller::Resend(std::vector<PollEvent> &out)
{
    m_rxCount = 0;
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
        // Bytes before the start of a reply are line noise.
        if (m_rxCount == 0 && bytes[i] != FrameStart)
            continue;
        m_rxBuffer[m_rxCount++] = bytes[i];
        if (m_rxCount == m_txFrame.replyLength) {
            m_awaitReply = false;
            CheckReply(out);
        }
    }
    return out;
}

void BreathPoller::CheckReply(std::vector<PollEvent> &out)
{
    const uint8_t echo = m_rxBuffer[3];
    if (echo == DeviceBlockAddress) {
        // The cycle starts. No sample yet: the blocks are those of earlier
        // reads, or nothing at all.
        StartRequest(VolumeBlockAddress, PollVolumeMode, out);
    } else if (echo == m_address && m_mode == PollFlowMode) {
        std::copy_n(m_rxBuffer.begin() + ReplyHeaderLength, m_flowBlock.size(), m_flowBlock.begin());
        StartRequest(VolumeBlockAddress, PollVolumeMode, out);
        out.push_back({PollEvent::Sample, {}, DecodeReading(m_flowBlock, m_volumeBlock), PollStop::None});
    } else if (echo == m_address && m_mode == PollVolumeMode) {
        std::copy_n(m_rxBuffer.begin() + ReplyHeaderLength, m_volumeBlock.size(), m_volumeBlock.begin());
        StartRequest(FlowBlockAddress, PollFlowMode, out);
    } else if (++m_retryCount < MaxRetries) {
        Resend(out);
    } else {
        End(PollStop::WrongEcho, out);
    }
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
