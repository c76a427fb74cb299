#include "exchange/Engine.h"

#include "exchange/ExchVars.h"
#include "exchange/Pace.h"
#include "exchange/WireTrace.h"

#include <algorithm>

namespace {

const QString ReadMemoryLog = QStringLiteral("Считывание  памяти  прибора ... ");
const QString ReadClockLog = QStringLiteral("Считывание времени и даты из прибора ... ");
const QString WriteClockLog = QStringLiteral("Запись в микросхему  часов ... ");
const QString SilenceLog = QStringLiteral("Прибор  не  отвечает");
const QString WrongEchoLog = QStringLiteral("Прибор  ответил  с  неверным  адресом");

constexpr uint8_t ClockReplyLength = 16;
constexpr uint8_t ClockRegisterCount = 10;
constexpr uint8_t CorrectionReplyLength = 7;
constexpr uint8_t CorrectionRegister = 24;
constexpr uint8_t ClearedRegisters = 32;
constexpr int ProgressSteps = 7;
constexpr int WriteAdvance = 4;   // write frames carry 8 bytes but advance by 4

bool Probing()
{
    return PanelLinkTest || ServiceLinkTest;
}

} // namespace

ExchangeEngine::ExchangeEngine(ExchangeLine line, ExchangeReport report, WireTrace *trace)
    : m_line(std::move(line)), m_report(std::move(report)), m_trace(trace)
{
}

void ExchangeEngine::Log(const QString &line)
{
    if (m_report.log)
        m_report.log(line);
}

void ExchangeEngine::SetAddress(int32_t address)
{
    ExchAddress = address;
    ExchAddrLo = static_cast<uint8_t>(address & 0xFF);
    ExchAddrHi = static_cast<uint8_t>((address >> 8) & 0xFF);
}

void ExchangeEngine::Start()
{
    m_running = true;
    m_probeAnswered = false;
    m_startAddress = ExchAddress;
    m_endAddress = ExchAddress + ExchCount;
    SetAddress(ExchAddress);
    if (!BuildFirstFrame()) {
        // No frame belongs to this mode: sending the previous exchange's
        // frame again could write the instrument's memory.
        End(ExchangeEnd::NoFrame);
        return;
    }
    SendNewFrame();
}

bool ExchangeEngine::BuildFirstFrame()
{
    switch (ExchMode) {
    case ModeReadMemory:
    case ModeReadMemory2:
        m_txFrame = MemoryReadFrame(ExchMode == ModeReadMemory ? CmdReadMemory : CmdReadMemory2, ExchAddrLo,
                                    ExchAddrHi, static_cast<uint8_t>(ExchCount & 0xFF));
        Log(ReadMemoryLog);
        if (ExchMode == ModeReadMemory) {
            m_progressStep = m_progressStep < ProgressSteps ? m_progressStep + 1 : 0;
            if (m_report.progress)
                m_report.progress(m_progressStep);
        }
        return true;
    case ModeReadClock:
        m_txFrame = RegisterReadFrame(ExchAddrLo, ClockRegisterCount, ClockReplyLength);
        Log(ReadClockLog);
        return true;
    case ModeWriteMemory:
        m_txFrame = WriteFrameAtOffset();
        return true;
    case ModeWriteClock:
        ClockByte1 = ClockImage[0];
        ClockByte2 = ClockImage[1];
        ExchAddress = ExchAddrLo;
        m_txFrame = RegisterWriteFrame(ExchAddrLo, ClockByte1, ClockByte2);
        Log(WriteClockLog);
        return true;
    case ModeWriteCorrection:
        SetAddress(CorrectionRegister);
        ClockByte1 = CorrectionByte;
        m_txFrame = RegisterWriteFrame(ExchAddrLo, ClockByte1, ClockByte1);
        Log(WriteClockLog);
        return true;
    case ModeReadCorrection:
        m_txFrame = RegisterReadFrame(CorrectionRegister, 2, CorrectionReplyLength);
        Log(ReadClockLog);
        return true;
    case ModeClearRegisters:
        SetAddress(ClearedRegisters);
        ClockByte1 = 0;
        ClockByte2 = 0;
        m_txFrame = RegisterWriteFrame(ExchAddrLo, ClockByte1, ClockByte2);
        Log(WriteClockLog);
        return true;
    default:
        return false;
    }
}

RequestFrame ExchangeEngine::WriteFrameAtOffset() const
{
    int n = std::clamp<int32_t>(WriteRemaining, 0, MaxWriteChunk);
    // Never read beyond the buffer, whatever the caller asked for.
    const int offset = std::clamp<int32_t>(WriteOffset, 0, TransferBufferSize);
    n = std::min(n, TransferBufferSize - offset);
    return MemoryWriteFrame(ExchAddrLo, ExchAddrHi, TransferBuffer.data() + offset, static_cast<uint8_t>(n));
}

void ExchangeEngine::SendNewFrame()
{
    m_retryCount = 0;
    SendFrame();
    AwaitReply = true;
}

void ExchangeEngine::SendFrame()
{
    m_reader.Idle();
    if (FastExchange && m_lastReplyAt) {
        // The guard runs from the last reply taken, also when it answered
        // the transfer before this one. The clock counts whole milliseconds,
        // so one more covers the part of a millisecond it may have cut off.
        const int64_t wait = *m_lastReplyAt + FastExchangeGuardMs + 1 - m_line.nowMs();
        if (wait > 0) {
            m_guardPending = true;
            m_line.startTimer(ExchangeTimer::Guard, static_cast<int>(wait));
            return;
        }
    }
    Transmit();
}

void ExchangeEngine::Transmit()
{
    m_guardPending = false;
    m_reader.Expect(m_txFrame);
    const bool queued = m_line.send(m_txFrame.bytes.data(), m_txFrame.length);
    if (m_trace)
        m_trace->Sent(m_txFrame.bytes.data(), m_txFrame.length, m_retryCount, queued);
    m_line.startTimer(ExchangeTimer::Silence, SilenceIntervalMs);
}

void ExchangeEngine::TraceDropped()
{
    const std::vector<uint8_t> dropped = m_reader.TakeDropped();
    if (m_trace && !dropped.empty())
        m_trace->Dropped(dropped.data(), int(dropped.size()));
}

void ExchangeEngine::Receive(const uint8_t *bytes, int count)
{
    // One delivery came in before anything was sent in answer to it: what
    // follows a reply in it cannot belong to the next request's reply.
    bool answered = false;
    for (int i = 0; i < count && m_running; ++i) {
        if (answered) {
            m_reader.Drop(bytes[i]);
            continue;
        }
        const std::optional<ReplyVerdict> verdict = m_reader.Feed(bytes[i]);
        if (!verdict || *verdict == ReplyVerdict::Late)
            continue;
        TraceDropped();
        answered = true;
        if (*verdict == ReplyVerdict::Taken)
            TakeReply();
        else
            BadReply();
    }
    TraceDropped();
}

void ExchangeEngine::TakeReply()
{
    m_line.stopTimer(ExchangeTimer::Silence);
    AwaitReply = false;
    m_lastReplyAt = m_line.nowMs();
    if (m_trace)
        m_trace->Reply(m_reader.Reply(), m_txFrame.replyLength);
    CheckReply();
    if (ExchDone)
        End(ExchangeEnd::Done);
}

void ExchangeEngine::BadReply()
{
    m_line.stopTimer(ExchangeTimer::Silence);
    AwaitReply = false;
    m_lastReplyAt = m_line.nowMs();
    ReplyBad = true;
    if (m_trace)
        m_trace->BadReply(m_reader.Reply(), m_txFrame.replyLength);
    if (Probing()) {
        // A link probe counts only answers; this was none.
        ProbeOnOrStop();
        return;
    }
    // A reply that answers another request is no answer: it counts like a
    // silent interval, so a frame goes out at most three times.
    if (!SendAgain())
        End(ExchangeEnd::LinkLost, WrongEchoLog);
}

void ExchangeEngine::CheckReply()
{
    ReplyBad = false;
    ExchDone = false;
    if (Probing()) {
        m_probeAnswered = true;
        NextFrame();
        return;
    }
    const uint8_t *reply = m_reader.Reply();
    switch (m_txFrame.command()) {
    case CmdReadMemory:
    case CmdReadMemory2:
        // The copy is always 256 bytes, whatever was asked for: beyond the
        // reply lie the bytes of earlier replies.
        std::copy_n(reply + ReplyHeaderLength, 256, TransferBuffer.begin());
        for (int k = 0; k < TransferWordCount; ++k)
            TransferWords[k] = TransferBuffer[2 * k] + 256 * TransferBuffer[2 * k + 1];
        ExchDone = true;
        break;
    case CmdReadRegisters:
        std::copy_n(reply + ReplyHeaderLength, 10, TransferBuffer.begin());
        ExchDone = true;
        break;
    case CmdWriteMemory:
        if (WriteRemaining <= MaxWriteChunk) {
            ExchDone = true;
        } else {
            WriteRemaining -= WriteAdvance;
            WriteOffset += WriteAdvance;
            SetAddress(ExchAddress + WriteAdvance);
            NextFrame();
        }
        break;
    case CmdWriteRegisters:
        NextFrame();
        break;
    default:
        break;
    }
}

void ExchangeEngine::NextFrame()
{
    if (Probing()) {
        if (m_report.beat)
            m_report.beat(ProbeBeat::Answered);
        if (StopExch)
            ExchDone = true;
        else
            SendNewFrame();
        return;
    }

    if (m_txFrame.command() == CmdWriteMemory) {
        m_txFrame = WriteFrameAtOffset();
    } else if (m_txFrame.command() == CmdWriteRegisters) {
        ExchAddress += 2;
        ExchAddrLo = static_cast<uint8_t>(ExchAddress & 0xFF);
        ExchAddrHi = 0;
        switch (ExchAddrLo) {
        case 27: ClockByte1 = ClockImage[2]; ClockByte2 = ClockImage[3]; break;
        case 29: ClockByte1 = ClockImage[4]; ClockByte2 = ClockImage[5]; break;
        case 31: ClockByte1 = ClockImage[6]; ClockByte2 = 0; break;
        default: break;
        }
        m_txFrame = RegisterWriteFrame(ExchAddrLo, ClockByte1, ClockByte2);
    }

    if (ExchCount != 0) {
        const int percent = static_cast<int>(int64_t(ExchAddress - m_startAddress) * 100 / ExchCount);
        if (percent != m_lastPercent) {
            if (m_report.progress)
                m_report.progress(percent);
            m_lastPercent = percent;
        }
    }

    if (ExchAddress >= m_endAddress) {
        ExchDone = true;
        return;
    }
    SendNewFrame();
}

void ExchangeEngine::TimerElapsed(ExchangeTimer timer)
{
    if (!m_running)
        return;
    if (timer == ExchangeTimer::Guard) {
        if (m_guardPending)
            Transmit();
        return;
    }
    if (AwaitReply && !m_guardPending)
        Silence();
}

void ExchangeEngine::ProbeOnOrStop()
{
    if (StopExch)
        End(ExchangeEnd::Done);
    else
        SendNewFrame();
}

bool ExchangeEngine::SendAgain()
{
    if (++m_retryCount >= MaxSendings)
        return false;
    SendFrame();
    AwaitReply = true;
    return true;
}

void ExchangeEngine::Silence()
{
    if (m_trace)
        m_trace->Silence(m_reader.Reply(), m_reader.Count(), m_txFrame.replyLength, SilenceIntervalMs);

    if (Probing()) {
        if (m_report.beat)
            m_report.beat(ProbeBeat::Silent);
        ProbeOnOrStop();
        return;
    }
    if (!SendAgain())
        End(ExchangeEnd::LinkLost, SilenceLog);
}

void ExchangeEngine::Halt()
{
    m_running = false;
    m_guardPending = false;
    m_line.stopTimer(ExchangeTimer::Silence);
    m_line.stopTimer(ExchangeTimer::Guard);
    AwaitReply = false;
    m_reader.Idle();
}

void ExchangeEngine::Abandon()
{
    if (m_running && m_trace)
        m_trace->Abandoned(m_reader.Reply(), m_reader.Count(), m_txFrame.replyLength);
    Halt();
}

void ExchangeEngine::End(ExchangeEnd end, const QString &cause)
{
    Halt();
    if (m_report.ended)
        m_report.ended(end, cause);
}
