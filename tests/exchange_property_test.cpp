// Random transfers against the instrument over a line that misbehaves at
// random: replies split with long gaps, noise around and inside them,
// copies, late and cut-short replies, wrong header bytes, lost requests and
// an unplugged adapter, in the normal and the fast exchange. The engine runs
// in simulated time, so multi-second silences cost nothing. The line never
// makes up the length of a cut-short reply with stray bytes: replies carry
// no checksum, so that is a changed data byte, which no reader can see.
//
// Whatever the line does: a transfer that ends done read exactly the
// instrument's bytes or left exactly the intended bytes in it; one that
// fails changed nothing beyond what it would have written and nothing of the
// program's data; every transfer ends within three sendings of each frame;
// every reply taken is framed as the request's; and in the fast exchange no
// request follows a reply sooner than the guard. The breath-volume window's
// poller gets the same line: each sample it reports is a pair of blocks the
// instrument just gave, it sends once per reply or silent interval and each
// request at most three times, and it reports or gives up within three
// sendings of each request.
//
// RC_PARAMS="max_success=N seed=S" sets the number of sequences and the seed
// (scripts/exchange-property.sh).

#include "exchange/Engine.h"
#include "exchange/ExchVars.h"
#include "exchange/Pace.h"
#include "exchange/WireTrace.h"
#include "vinst/Instrument.h"
#include "volume/BreathPoll.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int DeliveryQuietMs = 100;   // the normal exchange's inter-byte time-out
constexpr int64_t StartOfDay = 12 * 3600 * 1000;

// A fault of the line for one sending of a request.
struct Fault {
    enum Kind {
        None, DropRequest, Split, NoiseBefore, NoiseAfter, NoiseInHeader, Copy, Late, Cut,
        WrongEcho, WrongLength, WrongCommand, Unplug,
    } kind = None;
    int at = 0;       // the byte where a reply is split, cut or noise goes in
    int gapMs = 0;    // 0 to 3 s
    Bytes noise;
};

void showValue(const Fault &f, std::ostream &os)
{
    os << "{kind " << f.kind << " at " << f.at << " gap " << f.gapMs << " noise " << f.noise.size() << "}";
}

enum class Op { Read, Read2, ReadClock, ReadLive, ReadCorrection, Write, ListWrite, EraseBlock, WriteClock, WriteCorrection, ClearPair };

struct Transfer {
    Op op = Op::Read;
    int address = 0;
    int count = 1;
    Bytes data;
};

void showValue(const Transfer &t, std::ostream &os)
{
    os << "{op " << int(t.op) << " at " << t.address << " count " << t.count << "}";
}

// Whether a reply is held to its header byte `i`: not to the address's high
// byte in a register command, nor to n in the correction read's reply.
bool HeldTo(const Bytes &reply, int i)
{
    if (i == 4)
        return reply[2] != CmdReadRegisters && reply[2] != CmdWriteRegisters;
    if (i == 5)
        return reply.size() != 7;
    return true;
}

// `reply` with `noise` pushed in before its byte `into`. Replies carry no
// checksum: noise that leaves every byte the header is held to as it was
// shifts the rest unseen, so such noise is changed where it lands on one.
Bytes WithNoiseSeen(const Bytes &reply, int into, Bytes noise)
{
    Bytes noisy = reply;
    noisy.insert(noisy.begin() + into, noise.begin(), noise.end());
    const auto unseen = [&] {
        for (int i = into; i < ReplyHeaderLength; ++i) {
            if (HeldTo(reply, i) && noisy[i] != reply[i])
                return false;
        }
        return true;
    };
    for (int i = into; i < std::min(ReplyHeaderLength, into + int(noise.size())) && unseen(); ++i) {
        if (HeldTo(reply, i))
            noisy[i] ^= 0x01;
    }
    return noisy;
}

// Events in simulated time, in order of time and then of scheduling.
class Timeline {
public:
    void At(int64_t time, std::function<void()> action) { m_events.emplace(std::pair{time, m_seq++}, std::move(action)); }
    bool Step()
    {
        if (m_events.empty())
            return false;
        auto first = m_events.begin();
        m_now = first->first.first;
        auto action = std::move(first->second);
        m_events.erase(first);
        action();
        return true;
    }
    int64_t Now() const { return m_now; }

private:
    std::map<std::pair<int64_t, uint64_t>, std::function<void()>> m_events;
    uint64_t m_seq = 0;
    int64_t m_now = 0;
};

// The instrument behind a misbehaving line, and the engine on the other end.
class Bench {
public:
    Bench(std::vector<Fault> faults, bool fast)
        : m_faults(std::move(faults)), m_fast(fast),
          m_instrument(vinst::Memory(), [this] { return StartOfDay + (m_poller ? m_time.Now() : 0); })
    {
        ExchangeLine line;
        line.nowMs = [this] { return m_time.Now(); };
        line.send = [this](const uint8_t *bytes, int length) { return Send(Bytes(bytes, bytes + length)); };
        line.startTimer = [this](ExchangeTimer timer, int ms) {
            const int generation = ++m_timerGeneration[int(timer)];
            m_time.At(m_time.Now() + ms, [this, timer, generation] {
                if (m_timerGeneration[int(timer)] == generation)
                    m_engine->TimerElapsed(timer);
            });
        };
        line.stopTimer = [this](ExchangeTimer timer) {
            ++m_timerGeneration[int(timer)];
            // The engine stops its silence timer on a delivery when it has
            // taken a reply from it (or refused one).
            if (timer == ExchangeTimer::Silence && m_receiving)
                m_lastReplyAt = m_time.Now();
        };
        ExchangeReport report;
        report.ended = [this](ExchangeEnd end, const QString &) { m_end = end; };
        m_engine = std::make_unique<ExchangeEngine>(std::move(line), std::move(report), &m_trace);
        FastExchange = fast;
        for (int a = 0; a < 0x10000; a += 251)
            m_instrument.answer({5, static_cast<uint16_t>(a), 1, {uint8_t(a * 7)}});
    }
    ~Bench() { FastExchange = false; }

    vinst::Instrument &Instrument() { return m_instrument; }

    // Runs the exchange the request variables ask for; nothing when it hangs.
    std::optional<bool> Run(int64_t boundMs, int64_t &tookMs)
    {
        m_end.reset();
        m_sendingsOf.clear();
        m_mostSendings = 0;
        const int64_t start = m_time.Now();
        m_engine->Start();
        while (!m_end && m_time.Now() - start <= boundMs && m_time.Step()) {
        }
        tookMs = m_time.Now() - start;
        CheckTakenReplies();
        if (!m_end)
            return std::nullopt;
        return *m_end == ExchangeEnd::Done;
    }

    // Breath polling, started afresh, over the same line from here on: the
    // poller takes the deliveries, its silence timer runs in simulated time,
    // and what it reports (samples, its end) is kept with the time it came.
    void Poll(BreathPoller &poller)
    {
        m_poller = &poller;
        m_pollSendings = 0;
        Carry(poller.Start());
    }
    void Carry(const std::vector<PollEvent> &events)
    {
        // A reply taken or refused, or a silent interval, calls for one
        // sending; a request goes out at most three times in a row.
        RC_ASSERT(std::ranges::count(events, PollEvent::Send, &PollEvent::kind) <= 1);
        for (const PollEvent &event : events) {
            if (event.kind != PollEvent::Send) {
                m_polled.push_back({m_time.Now(), event});
                continue;
            }
            m_pollSendings = event.frame.bytes == m_pollFrame ? m_pollSendings + 1 : 1;
            m_pollFrame = event.frame.bytes;
            RC_ASSERT(m_pollSendings <= BreathPoller::MaxRetries);
            Send(Bytes(event.frame.bytes.begin(), event.frame.bytes.begin() + event.frame.length));
            const int generation = ++m_pollTimer;
            m_time.At(m_time.Now() + ExchangeEngine::SilenceIntervalMs, [this, generation] {
                if (generation == m_pollTimer)
                    Carry(m_poller->Silence());
            });
        }
        if (!m_poller->AwaitReply())
            ++m_pollTimer;
    }
    // Steps time until the poller has reported `until` more events, or has
    // ended, or has been quiet for longer than `boundMs`; what it reported.
    std::vector<std::pair<int64_t, PollEvent>> Polled(size_t until, int64_t boundMs)
    {
        m_polled.clear();
        const int64_t start = m_time.Now();
        const auto lastReport = [&] { return m_polled.empty() ? start : m_polled.back().first; };
        while (m_polled.size() < until && m_poller->Polling() && m_time.Now() - lastReport() <= boundMs && m_time.Step()) {
        }
        return m_polled;
    }
    int64_t Now() const { return m_time.Now(); }
    // Whether the instrument gave, after `since`, a flow block and a volume
    // block that make `reading`.
    bool Answered(const FlowReading &reading, int64_t since) const
    {
        const auto gave = [&](uint8_t address, auto same) {
            return std::ranges::any_of(m_answered, [&](const auto &answer) {
                const Bytes &reply = answer.second;
                return answer.first > since && reply[3] == address && same(reply.data() + ReplyHeaderLength);
            });
        };
        const auto word = [](const uint8_t *at) { return at[0] + 256 * at[1]; };
        return gave(FlowBlockAddress, [&](const uint8_t *data) { return word(data + 7) == reading.pressure; })
            && gave(VolumeBlockAddress, [&](const uint8_t *data) {
                   return word(data) == reading.volumeHalfMl && word(data + 2) == reading.timeTenths;
               });
    }

    int GuardBreaches() const { return m_guardBreaches; }
    // The most times one frame of the last transfer went out.
    int MostSendings() const { return m_mostSendings; }

private:
    // Every reply the engine took, as the wire trace shows it, starts with
    // ':' and its own length and repeats the command of the request before;
    // the instrument's reply to a write also repeats the data written.
    void CheckTakenReplies()
    {
        const QStringList lines = m_trace.Lines();
        QStringList request;
        for (; m_traceSeen < lines.size(); ++m_traceSeen) {
            // date, time, TX or RX, the bytes, then an empty word and the text
            const QStringList words = lines[m_traceSeen].split(' ');
            const QStringList bytes = words.mid(3, words.indexOf(QString(), 3) - 3);
            if (words[2] == "TX")
                request = bytes;
            if (words[2] != "RX" || !lines[m_traceSeen].contains("  reply,"))
                continue;
            RC_ASSERT(bytes[0] == "3A" && bytes[1].toInt(nullptr, 16) == bytes.size() && bytes[2] == request.value(2));
            if (request.value(2) == "05" || request.value(2) == "07")
                RC_ASSERT(bytes.mid(6) == request.mid(6, bytes.size() - 6));
        }
    }

    bool Send(Bytes frame)
    {
        if (m_fast && m_lastReplyAt && m_time.Now() - *m_lastReplyAt < FastExchangeGuardMs)
            ++m_guardBreaches;
        m_mostSendings = std::max(m_mostSendings, ++m_sendingsOf[frame]);
        // A request drops what was handed over before it.
        m_cut.open = m_cut.open && !m_cut.handedOver;
        const Fault fault = m_faults.empty() ? Fault{} : m_faults[m_sendings++ % m_faults.size()];
        if (fault.kind == Fault::Unplug)
            m_unplugged = true;
        if (m_unplugged || fault.kind == Fault::DropRequest)
            return true;
        const int64_t arrives = m_time.Now() + 1 + int64_t(frame.size()) / 2;
        m_time.At(arrives, [this, frame, fault] { Answer(frame, fault); });
        return true;
    }

    void Answer(const Bytes &frame, const Fault &fault)
    {
        if (!vinst::IsWellFormedRequest(frame))
            return;
        Bytes reply = m_instrument.answer(vinst::ParseRequest(frame));
        if (m_poller)
            m_answered.push_back({m_time.Now(), reply});
        const int length = int(reply.size());
        const int at = 1 + fault.at % std::max(1, length - 1);
        int64_t when = m_time.Now() + 2;
        switch (fault.kind) {
        case Fault::WrongEcho: reply[3] ^= 0x10; break;
        case Fault::WrongLength: reply[1] ^= 0x02; break;
        case Fault::WrongCommand: reply[2] ^= 0x04; break;
        case Fault::Cut: reply.resize(at); break;
        case Fault::NoiseBefore:
            // Replies carry no checksum: stray bytes that make up the length
            // of a reply cut short change its data unseen, past what any
            // check of the protocol can tell. The line does not do that.
            if (!m_cut.open)
                reply.insert(reply.begin(), fault.noise.begin(), fault.noise.end());
            break;
        case Fault::NoiseAfter: reply.insert(reply.end(), fault.noise.begin(), fault.noise.end()); break;
        case Fault::NoiseInHeader: {
            // Into the bytes the reply is held to: behind them it passes unseen.
            const int heldEnd = HeldTo(reply, 5) ? ReplyHeaderLength : 4;
            reply = WithNoiseSeen(reply, 1 + fault.at % (heldEnd - 1), fault.noise);
            break;
        }
        case Fault::Late: when += fault.gapMs; break;
        default: break;
        }
        m_cut = {fault.kind == Fault::Cut, false, false, m_cut.serial + 1};
        if (fault.kind == Fault::Split) {
            Arrive(Bytes(reply.begin(), reply.begin() + at), when);
            Arrive(Bytes(reply.begin() + at, reply.end()), when + fault.gapMs);
            return;
        }
        Arrive(reply, when, m_cut.open ? m_cut.serial : 0);
        if (fault.kind == Fault::Copy)
            Arrive(reply, when + fault.gapMs);
    }

    void Deliver(const Bytes &bytes)
    {
        m_cut.handedOver = m_cut.onLine;
        m_receiving = true;
        if (m_poller)
            Carry(m_poller->Receive(bytes.data(), bytes.size()));
        else
            m_engine->Receive(bytes.data(), int(bytes.size()));
        m_receiving = false;
    }

    // Bytes come in order, at the line's pace (about half a millisecond each).
    void Arrive(Bytes bytes, int64_t when, int cutSerial = 0)
    {
        when = std::max(when, m_lineFreeAt);
        m_lineFreeAt = when + int64_t(bytes.size()) / 2;
        m_time.At(m_lineFreeAt, [this, bytes, cutSerial] {
            if (m_unplugged)
                return;
            m_cut.onLine = m_cut.onLine || cutSerial == m_cut.serial;
            if (m_fast) {
                Deliver(bytes);
                return;
            }
            // The normal exchange gets what came once the line has been
            // quiet for its inter-byte time-out.
            m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
            const int generation = ++m_deliveryGeneration;
            m_time.At(m_time.Now() + DeliveryQuietMs, [this, generation] {
                if (generation != m_deliveryGeneration)
                    return;
                Deliver(std::exchange(m_pending, {}));
            });
        });
    }

    std::vector<Fault> m_faults;
    bool m_fast;
    // The instrument's clock stands still for transfers and runs while it
    // is polled, so that each breath sample differs from the last.
    BreathPoller *m_poller = nullptr;
    vinst::Instrument m_instrument;
    WireTrace m_trace{1 << 20};
    qsizetype m_traceSeen = 0;
    std::unique_ptr<ExchangeEngine> m_engine;
    Timeline m_time;
    std::optional<ExchangeEnd> m_end;
    int m_timerGeneration[2] = {};
    int m_deliveryGeneration = 0;
    Bytes m_pending;
    int64_t m_lineFreeAt = 0;
    size_t m_sendings = 0;
    bool m_unplugged = false;
    int m_guardBreaches = 0;
    bool m_receiving = false;
    // The last reply queued was cut short (open) until the next reply or a
    // request sent after its bytes were handed over (the reader drops them
    // then): stray bytes meanwhile would make up its length.
    struct {
        bool open = false;
        bool onLine = false;
        bool handedOver = false;
        int serial = 0;
    } m_cut;
    std::optional<int64_t> m_lastReplyAt;
    std::map<Bytes, int> m_sendingsOf;
    int m_mostSendings = 0;
    int m_pollTimer = 0;
    std::array<uint8_t, 16> m_pollFrame{};
    int m_pollSendings = 0;

    std::vector<std::pair<int64_t, PollEvent>> m_polled;
    std::vector<std::pair<int64_t, Bytes>> m_answered;
};

rc::Gen<Fault> AFault()
{
    using namespace rc;
    return gen::exec([] {
        Fault fault;
        const int pick = *gen::inRange(0, 100);
        // Mostly a sound line, so that long transfers can get through.
        static constexpr Fault::Kind Kinds[] = {
            Fault::DropRequest, Fault::Split, Fault::Split, Fault::NoiseBefore, Fault::NoiseAfter, Fault::NoiseInHeader,
            Fault::Copy, Fault::Copy, Fault::Late, Fault::Late, Fault::Cut, Fault::WrongEcho, Fault::WrongLength,
            Fault::WrongCommand};
        if (pick < 45)
            fault.kind = Fault::None;
        else if (pick == 99)
            fault.kind = *gen::inRange(0, 4) == 0 ? Fault::Unplug : Fault::None;
        else
            fault.kind = Kinds[(pick - 45) % std::size(Kinds)];
        fault.at = *gen::inRange(0, 300);
        fault.gapMs = *gen::oneOf(gen::inRange(0, 150), gen::inRange(0, 3001));
        fault.noise = *gen::container<Bytes>(*gen::inRange(1, 6), gen::arbitrary<uint8_t>());
        return fault;
    });
}

Bytes ClockImageOf(const Bytes &random);

rc::Gen<Transfer> ATransfer()
{
    using namespace rc;
    return gen::exec([] {
        Transfer t;
        static constexpr Op Ops[] = {Op::Read, Op::Read, Op::Read, Op::Read2, Op::ReadClock, Op::ReadLive,
                                     Op::ReadCorrection, Op::Write, Op::Write, Op::Write, Op::ListWrite,
                                     Op::EraseBlock, Op::WriteClock, Op::WriteCorrection, Op::ClearPair};
        const int pick = *gen::inRange(0, int(std::size(Ops)) * 4);
        // The long transfers (a list, an erase block) come rarely.
        t.op = Ops[pick % std::size(Ops)];
        if ((t.op == Op::ListWrite || t.op == Op::EraseBlock) && pick >= int(std::size(Ops)))
            t.op = Op::Write;
        switch (t.op) {
        case Op::Read:
        case Op::Read2: t.count = *gen::inRange(1, 247); break;
        case Op::Write: t.count = *gen::inRange(1, 41); break;
        case Op::ListWrite: t.count = 1024; break;
        case Op::EraseBlock: t.count = 3000; break;
        case Op::WriteClock: t.count = 7; break;
        default: t.count = 2; break;
        }
        // A few addresses, so that transfers meet the same places again.
        t.address = *gen::oneOf(gen::element(0, 128, 1024, 9216, 65536 - t.count), gen::inRange(0, 65537 - t.count));
        t.data = *gen::container<Bytes>(size_t(t.count), gen::arbitrary<uint8_t>());
        if (t.op == Op::EraseBlock)
            t.data.assign(3000, 0xFF);
        if (t.op == Op::WriteClock)
            t.data = ClockImageOf(t.data);
        return t;
    });
}

int Frames(const Transfer &t)
{
    switch (t.op) {
    case Op::Write:
    case Op::ListWrite:
    case Op::EraseBlock: return t.count <= MaxWriteChunk ? 1 : 1 + (t.count - MaxWriteChunk + 3) / 4;
    case Op::WriteClock: return 4;
    default: return 1;
    }
}

// Sets the request variables as the transfer calls do.
void Request(const Transfer &t)
{
    PanelLinkTest = false;
    ServiceLinkTest = false;
    ExchAddress = t.address;
    ExchCount = t.count;
    switch (t.op) {
    case Op::Read: ExchMode = ModeReadMemory; break;
    case Op::Read2: ExchMode = ModeReadMemory2; break;
    case Op::ReadClock: ExchAddress = 25; ExchMode = ModeReadClock; break;
    case Op::ReadLive: ExchAddress = 78; ExchMode = ModeReadClock; break;
    case Op::ReadCorrection: ExchAddress = 24; ExchMode = ModeReadCorrection; break;
    case Op::Write:
    case Op::ListWrite:
    case Op::EraseBlock:
        ExchMode = ModeWriteMemory;
        WriteOffset = 0;
        WriteRemaining = t.count;
        std::copy(t.data.begin(), t.data.end(), TransferBuffer.begin());
        break;
    case Op::WriteClock:
        ExchAddress = 25;
        ExchCount = 7;
        ExchMode = ModeWriteClock;
        std::copy_n(t.data.begin(), 7, ClockImage.begin());
        break;
    case Op::WriteCorrection:
        ExchAddress = 24;
        CorrectionByte = t.data[0];
        ExchMode = ModeWriteCorrection;
        break;
    case Op::ClearPair:
        ExchAddress = 32;
        ExchMode = ModeClearRegisters;
        break;
    }
}

bool IsRead(Op op)
{
    return op == Op::Read || op == Op::Read2 || op == Op::ReadClock || op == Op::ReadLive || op == Op::ReadCorrection;
}

Bytes DataOf(const Bytes &reply)
{
    return Bytes(reply.begin() + ReplyHeaderLength, reply.end());
}

// What the instrument holds where the transfer reads or writes. Reads change
// nothing, and the instrument's clock stands still.
Bytes Held(vinst::Instrument &instrument, const Transfer &t)
{
    switch (t.op) {
    case Op::Read:
    case Op::Read2: return instrument.memory().read(uint16_t(t.address), size_t(t.count));
    case Op::ReadClock:
    case Op::WriteClock: return DataOf(instrument.answer({3, 25, 10, {}}));
    case Op::ReadLive: return DataOf(instrument.answer({3, 78, 10, {}}));
    case Op::ReadCorrection:
    case Op::WriteCorrection: return DataOf(instrument.answer({3, 24, 2, {}}));
    case Op::ClearPair: return DataOf(instrument.answer({3, 32, 10, {}}));
    default: return {};
    }
}

// The registers a sound register write leaves.
Bytes Intended(const Bytes &held, const Transfer &t)
{
    Bytes after = held;
    switch (t.op) {
    case Op::WriteClock:
        std::copy_n(t.data.begin(), 7, after.begin());
        after[7] = 0;
        break;
    case Op::WriteCorrection: after[0] = t.data[0]; break;
    case Op::ClearPair: after[0] = after[1] = 0; break;
    default: break;
    }
    return after;
}

// A clock image the instrument keeps as written: packed BCD of a real time.
Bytes ClockImageOf(const Bytes &random)
{
    const auto bcd = [](int value) { return uint8_t((value / 10) << 4 | value % 10); };
    return {bcd(random[0] % 60), bcd(random[1] % 60), bcd(random[2] % 24), 0,
            bcd(1 + random[4] % 28), bcd(1 + random[5] % 12), bcd(random[6] % 100)};
}

int TransfersRun = 0;

void CheckTransfers(bool fast, const std::vector<Fault> &faults, const std::vector<Transfer> &transfers)
{
    ResetExchangeVariables();
    Bench bench(faults, fast);
    for (const Transfer &t : transfers) {
        const Bytes memoryBefore = bench.Instrument().memory().read(0, 0x10000);
        const Bytes held = Held(bench.Instrument(), t);
        TransferBuffer.fill(0xA5);
        Request(t);
        const auto bufferBefore = TransferBuffer;

        // Each frame goes out at most three times, a silent interval behind
        // each sending (and the guard before it), then its reply comes in.
        constexpr int Sendings = 3;
        const int64_t bound = Frames(t) * (Sendings * (ExchangeEngine::SilenceIntervalMs + FastExchangeGuardMs) + 2 * DeliveryQuietMs);
        int64_t took = 0;
        const std::optional<bool> done = bench.Run(bound, took);
        ++TransfersRun;
        RC_ASSERT(done.has_value());
        RC_ASSERT(took <= bound);
        RC_ASSERT(bench.MostSendings() <= Sendings);

        const Bytes memoryAfter = bench.Instrument().memory().read(0, 0x10000);
        if (IsRead(t.op)) {
            RC_ASSERT(memoryAfter == memoryBefore);
            if (*done)
                RC_ASSERT(Bytes(TransferBuffer.begin(), TransferBuffer.begin() + held.size()) == held);
            else
                RC_ASSERT(TransferBuffer == bufferBefore);
            continue;
        }
        // A write leaves the program's data as it was.
        RC_ASSERT(TransferBuffer == bufferBefore);
        if (t.op == Op::Write || t.op == Op::ListWrite || t.op == Op::EraseBlock) {
            for (int a = 0; a < 0x10000; ++a) {
                const bool inside = a >= t.address && a < t.address + t.count;
                const uint8_t intended = inside ? t.data[a - t.address] : memoryBefore[a];
                if (*done || !inside)
                    RC_ASSERT(memoryAfter[a] == intended);
                else
                    RC_ASSERT(memoryAfter[a] == intended || memoryAfter[a] == memoryBefore[a]);
            }
        } else {
            RC_ASSERT(memoryAfter == memoryBefore);
            if (*done)
                RC_ASSERT(Held(bench.Instrument(), t) == Intended(held, t));
        }
    }
    RC_ASSERT(bench.GuardBreaches() == 0);
}

void CheckRandomTransfers(bool fast)
{
    const auto faults = *rc::gen::container<std::vector<Fault>>(*rc::gen::inRange(1, 40), AFault());
    const auto transfers = *rc::gen::container<std::vector<Transfer>>(*rc::gen::inRange(1, 12), ATransfer());
    CheckTransfers(fast, faults, transfers);
}

int PollReports = 0;

// Breath polling over the line: every sample is the instrument's own pair of
// blocks, a pair that fails gives none and ends the polling, and each report
// comes within three requests of three sendings each (the device block, then
// the two blocks of a pair).
void CheckPolls(const std::vector<Fault> &faults)
{
    ResetExchangeVariables();
    Bench bench(faults, false);
    constexpr int64_t Bound = 3 * (BreathPoller::MaxRetries * ExchangeEngine::SilenceIntervalMs + 2 * DeliveryQuietMs);

    BreathPoller poller;
    for (int session = 0; session < 3; ++session) {
        bench.Poll(poller);
        int64_t since = bench.Now();
        const auto polled = bench.Polled(8, Bound);
        for (const auto &[at, event] : polled) {
            ++PollReports;
            RC_ASSERT(at - since <= Bound);
            RC_ASSERT(event.kind == PollEvent::Sample || &event == &polled.back().second);
            if (event.kind == PollEvent::Sample)
                RC_ASSERT(bench.Answered(event.reading, since));
            since = at;
        }
        // Still polling means eight samples came; otherwise it said why it ended.
        const bool ended = !polled.empty() && polled.back().second.kind == PollEvent::Stopped;
        RC_ASSERT((poller.Polling() ? polled.size() == 8 : ended));
        poller.Stop();
    }
}

void CheckRandomPolls()
{
    CheckPolls(*rc::gen::container<std::vector<Fault>>(*rc::gen::inRange(1, 40), AFault()));
}

// Both exchanges in one test, so that it can tell how many transfers ran.
TEST(ExchangeProperty, TakesOnlyTheInstrumentsBytes)
{
    TransfersRun = 0;
    EXPECT_TRUE(rc::check("normal exchange", [] { CheckRandomTransfers(false); }));
    EXPECT_TRUE(rc::check("fast exchange", [] { CheckRandomTransfers(true); }));
    EXPECT_TRUE(rc::check("breath polling", [] { CheckRandomPolls(); }));
    std::cout << "transfers run: " << TransfersRun << ", poll reports: " << PollReports << std::endl;
    const char *params = std::getenv("RC_PARAMS");
    if (!params || !std::strstr(params, "max_success")) {
        EXPECT_GE(TransfersRun, 500);
    }
}

// Lines the property once found a fault on, kept as found; a line with no
// transfers is polled.
TEST(ExchangeProperty, LinesThatOnceFailed)
{
    const auto f = [](Fault::Kind kind, int at = 0, int gapMs = 0) { return Fault{kind, at, gapMs, {1}}; };
    const auto read = [](int address, int count) { return Transfer{Op::Read, address, count, Bytes(size_t(count))}; };
    const auto colonAt = [](int count, int at) {
        Bytes data(static_cast<size_t>(count));
        data[at] = FrameStart;
        return data;
    };
    const struct {
        const char *what;
        std::vector<Fault> faults;
        std::vector<Transfer> transfers;
    } lines[] = {
        {"a reply cut short right after its header, and the reply to the next sending (with a wrong echo) after it",
         {f(Fault::Cut, 5), f(Fault::WrongEcho), f(Fault::DropRequest), f(Fault::Split, 0, 1884)},
         {read(1024, 1), read(0, 9)}},
        {"a stalled reply's rest, then the reply to the second sending cut short behind it, joined to the third's "
         "with noise in its header",
         {f(Fault::None), f(Fault::Split, 0, 1908), f(Fault::Cut, 9), f(Fault::NoiseInHeader)},
         {read(0, 1), read(0, 157)}},
        {"a header-only reply of an earlier sending joined to a later one with noise in its header",
         {f(Fault::Cut, 5), f(Fault::NoiseInHeader), f(Fault::DropRequest), f(Fault::Split, 0, 1884)},
         {read(1024, 1), read(0, 9)}},
        {"a reply cut one byte short, then the next reply's ':' as its last byte",
         {f(Fault::Cut), f(Fault::Cut), f(Fault::None), f(Fault::Split, 0, 1878), f(Fault::Cut, 207), f(Fault::None)},
         {read(0, 1), read(0, 11)}},
        {"a correction read cut after its echo, and another cut after its command",
         {f(Fault::Cut), f(Fault::Cut), f(Fault::Split, 0, 1882), f(Fault::Cut, 15), f(Fault::Cut, 8), f(Fault::None)},
         {read(1024, 1), {Op::Write, 0, 12, Bytes(12)}, {Op::ReadCorrection, 0, 2, Bytes(2)}}},
        {"a clock read cut after its header behind a late copy of another register reply, then the resent "
         "read's reply with noise behind its ':'",
         {f(Fault::Copy, 0, 1005), f(Fault::Cut, 5), f(Fault::NoiseInHeader)},
         {{Op::ReadLive, 78, 12, Bytes(12)}, {Op::ReadClock, 25, 7, Bytes(7)}}},
        {"breath polling: a flow reply cut short, and the resent request's with noise behind its ':'",
         {f(Fault::None), f(Fault::None), f(Fault::None), f(Fault::Copy, 0, 995), f(Fault::Cut, 39), f(Fault::NoiseInHeader)},
         {}},
        {"a write's reply with a ':' in its data cut short behind it, joined to the next reply with noise in "
         "its header",
         {f(Fault::None), f(Fault::None), f(Fault::Split, 0, 1879), f(Fault::Cut, 113), f(Fault::NoiseInHeader, 1),
          f(Fault::Cut, 0), f(Fault::None), f(Fault::None), f(Fault::None)},
         {read(0, 1), read(128, 1), read(1024, 1), {Op::Write, 65508, 28, colonAt(28, 23)}}},
        {"a late reply to a failed clock write taken for the next clock write's",
         {f(Fault::NoiseInHeader, 4), f(Fault::Split, 4, 2800), f(Fault::Late, 0, 1800), f(Fault::DropRequest)},
         {{Op::WriteClock, 25, 7, {0x12, 0x13, 0x05, 0, 0x07, 0x07, 0x26}}, {Op::WriteClock, 25, 7, {0x53, 0x50, 0x05, 0, 0x07, 0x07, 0x26}}}},
    };
    for (const auto &line : lines) {
        if (line.transfers.empty()) {
            EXPECT_NO_THROW(CheckPolls(line.faults)) << line.what;
            continue;
        }
        for (const bool fast : {false, true})
            EXPECT_NO_THROW(CheckTransfers(fast, line.faults, line.transfers)) << line.what << (fast ? ", fast" : "");
    }
}

} // namespace
