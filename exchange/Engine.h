#pragma once
// The exchange with the instrument, apart from the window that shows it: it
// frames a request from the request variables (exchange/ExchVars.h), takes
// the reply out of what the line delivers, checks it, stores the data,
// continues multi-frame transfers, resends after a silent interval or a bad
// reply and gives up after the third sending of a frame. In the fast
// exchange a request never follows the last reply taken, of this transfer or
// of the one before, by less than the guard.
//
// The engine owns no port, timer or clock: it sends through the line it is
// given, asks it for one-shot timers, reads its clock, and tells its owner
// what to show. The exchange window drives it with the real port and
// timers; the tests drive it in simulated time.

#include "exchange/Frames.h"
#include "exchange/Replies.h"
#include "exchange/Transfers.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class WireTrace;

enum class ExchangeTimer {
    Silence,   // no complete reply within the interval: send again
    Guard,     // the fast exchange's pause behind a reply
};

// What the engine needs of the world around it.
struct ExchangeLine {
    std::function<int64_t()> nowMs;                       // a monotonic clock
    std::function<bool(const uint8_t *, int)> send;       // false when the port refused
    std::function<void(ExchangeTimer, int ms)> startTimer;
    std::function<void(ExchangeTimer)> stopTimer;
};

enum class ExchangeEnd {
    Done,       // the transfer is complete, or a link probe stopped
    LinkLost,   // a frame went out three times without an answer
    NoFrame,    // the mode builds no frame: nothing was sent
};

// What the engine tells its owner.
struct ExchangeReport {
    std::function<void(const QString &)> log;
    std::function<void(int)> progress;
    std::function<void(ProbeBeat)> beat;
    std::function<void(ExchangeEnd, const QString &cause)> ended;
};

class ExchangeEngine {
public:
    static constexpr int SilenceIntervalMs = 1000;
    static constexpr int MaxSendings = 3;

    ExchangeEngine(ExchangeLine line, ExchangeReport report, WireTrace *trace);

    // Starts the exchange the request variables ask for.
    void Start();
    // Bytes from the line, in order of arrival.
    void Receive(const uint8_t *bytes, int count);
    void TimerElapsed(ExchangeTimer timer);
    // The operator left: the exchange ends at once, without a report.
    void Abandon();
    // Ends the exchange where it stands: timers stopped, nothing awaited.
    void Halt();

    bool Running() const { return m_running; }
    bool ProbeAnswered() const { return m_probeAnswered; }

private:
    bool BuildFirstFrame();
    RequestFrame WriteFrameAtOffset() const;
    void SetAddress(int32_t address);
    void SendNewFrame();
    void SendFrame();
    void ProbeOnOrStop();   // a link probe's next request, or its end on the stop button
    bool SendAgain();       // the frame once more; false after its last sending
    void Transmit();
    void TakeReply();
    void CheckReply();
    void NextFrame();
    void BadReply();
    void Silence();
    void End(ExchangeEnd end, const QString &cause = {});
    void Log(const QString &line);
    void TraceDropped();

    ExchangeLine m_line;
    ExchangeReport m_report;
    WireTrace *m_trace;
    ReplyReader m_reader;
    RequestFrame m_txFrame;
    int32_t m_startAddress = 0;
    int32_t m_endAddress = 0;
    int m_retryCount = 0;
    int m_progressStep = 0;       // the memory-read progress, kept across exchanges
    int m_lastPercent = 0;
    bool m_running = false;
    bool m_probeAnswered = false;
    bool m_guardPending = false;  // the frame waits for the guard
    std::optional<int64_t> m_lastReplyAt;
};
