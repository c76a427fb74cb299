#pragma once
// The receive and transmit workers of an open port, and what they share with
// the component: the port, the stop signal, the transmit queue and the
// channel that carries their notifications to the owner's thread.

#include "serial/CommEr.h"
#include "serial/CommLine.h"
#include "serial/CommPort.h"

#include <QByteArray>
#include <QEvent>
#include <QObject>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// The toolkit's posted-event queue is locked inside the toolkit, where
// ThreadSanitizer cannot see it. A sanitizer build is told of the hand-over
// instead: a release where a worker posts a notice, an acquire where the
// owner's thread takes it, both on the notice's address. Elsewhere both are
// nothing.
#if defined(__SANITIZE_THREAD__)
#define ORBA_TSAN_BUILD 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORBA_TSAN_BUILD 1
#endif
#endif
#ifdef ORBA_TSAN_BUILD
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
inline void HandOverRelease(void *notice) { __tsan_release(notice); }
inline void HandOverAcquire(void *notice) { __tsan_acquire(notice); }
#else
inline void HandOverRelease(void *) {}
inline void HandOverAcquire(void *) {}
#endif

// One notification on its way to the owner's thread. It owns its block of
// received bytes; QByteArray keeps a 0 byte after the data.
class TCommNotice : public QEvent {
public:
    TCommNotice(uint64_t generation, CommNotification kind, uint32_t value, QByteArray block);
    static QEvent::Type EventType();

    const uint64_t Generation;
    const CommNotification Kind;
    const uint32_t Value;
    const QByteArray Block;
};

// Posts notifications to the component's receiver on the owner's thread, in
// posting order, until the component detaches it on closing.
class TNotifyChannel {
public:
    TNotifyChannel(QObject *receiver, uint64_t generation);
    // False once detached: the worker should end.
    bool Post(CommNotification kind, uint32_t value = 0, QByteArray block = {});
    // The workers' failure report; posted at most once per opening, as the
    // owner needs to hear of a lost port only once.
    void PostHangup();
    void Detach();

private:
    std::mutex m_mutex;
    QObject *m_receiver;
    const uint64_t m_generation;
    std::atomic<bool> m_hangupPosted{false};
};

// Blocks waiting for the transmit worker, and the SendIdle flag: clear while
// anything queued is unwritten. Both change under one lock, so that the flag
// never says idle with a block still waiting.
class TSendQueue {
public:
    bool Valid() const { return m_wake.Valid(); }
    int WakeFd() const { return m_wake.Fd(); }
    bool Push(QByteArray block);             // false once closed
    std::optional<QByteArray> TryPop();      // sets idle when empty
    void ClearWake() { m_wake.Clear(); }
    void Close();                            // drops what is left, refuses more
    bool Idle() const { return m_idle; }

private:
    std::mutex m_mutex;
    std::deque<QByteArray> m_blocks;
    bool m_closed = false;
    std::atomic<bool> m_idle{true};
    TEventFd m_wake;
};

// Everything an open port consists of. The workers hold it too, so that a
// worker left behind on closing never sees a descriptor closed under it.
struct TPortLink {
    TPortLink(std::unique_ptr<TPortFile> port, QObject *receiver, uint64_t generation);

    int Fd() const { return port->Fd(); }

    const std::unique_ptr<TPortFile> port;   // CommHandle
    TEventFd closeEvent;                     // CloseEvent: set to stop both workers
    TSendQueue sendQueue;
    TSharedTimeouts timeouts;
    TNotifyChannel notify;
};

// A std::thread that can be waited for with a time limit.
class TWorkerThread {
public:
    ~TWorkerThread() { Stop(std::chrono::seconds(10)); }
    void Start(std::function<void()> body);   // throws std::system_error
    // Waits for the body to return; a worker still busy after `limit` is
    // detached and false returned.
    bool Stop(std::chrono::milliseconds limit);

private:
    struct TEnd {
        std::mutex mutex;
        std::condition_variable signal;
        bool done = false;
    };
    std::shared_ptr<TEnd> m_end;
    std::thread m_thread;
};

// Reads whatever arrives and posts it as NotifyReceiveData blocks, timed by
// the read time-outs; posts NotifyRequestHangup when the device goes away.
class TReadThread {
public:
    explicit TReadThread(std::shared_ptr<TPortLink> link) : m_link(std::move(link)) {}
    void Execute();

private:
    bool ReadBlock();
    bool Deliver(std::size_t count);
    bool LoseDevice(std::size_t received);
    void ReportLineErrors();

    std::shared_ptr<TPortLink> m_link;
    std::array<char, ReadBlockSize> m_buffer{};
    std::optional<TLineErrorCounts> m_errorCounts;
};

// Writes the queued blocks one after the other; posts NotifySendEmpty when it
// starts idle and each time the queue runs empty after a write.
class TWriteThread {
public:
    explicit TWriteThread(std::shared_ptr<TPortLink> link) : m_link(std::move(link)) {}
    void Execute();

private:
    bool WaitForWork();
    bool WriteBlock(const QByteArray &block);

    std::shared_ptr<TPortLink> m_link;
};
