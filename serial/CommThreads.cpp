#include "serial/CommThreads.h"

#include <QCoreApplication>
#include <cerrno>
#include <new>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/serial.h>
#endif

namespace {

enum class TWait { Stop, Ready, Timeout, Lost };

// Waits for `events` on `fd` or for the stop signal, whichever comes first;
// a timeout of -1 waits without limit.
TWait WaitFor(int fd, short events, int closeFd, int timeoutMs)
{
    pollfd fds[2] = {{closeFd, POLLIN, 0}, {fd, events, 0}};
    for (;;) {
        const int ready = poll(fds, 2, timeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return TWait::Lost;
        if (ready == 0)
            return TWait::Timeout;
        if (fds[0].revents != 0)
            return TWait::Stop;
        if (fds[1].revents & events)
            return TWait::Ready;
        return TWait::Lost;   // hung up, failed or closed, with nothing to read
    }
}

int64_t MsSince(std::chrono::steady_clock::time_point start)
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now() - start).count();
}

// The kernel counts line errors for UARTs and USB adapters (TIOCGICOUNT);
// the receive worker compares the counts with each block it delivers. Where
// there are no counts, pseudo-terminals for one, line errors go unreported.
std::optional<TLineErrorCounts> ReadLineErrorCounts([[maybe_unused]] int fd)
{
#if defined(__linux__) && defined(TIOCGICOUNT)
    serial_icounter_struct counts{};
    if (ioctl(fd, TIOCGICOUNT, &counts) == 0)
        return TLineErrorCounts{counts.frame, counts.overrun, counts.parity, counts.brk,
                                counts.buf_overrun};
#endif
    return std::nullopt;
}

} // namespace

TCommNotice::TCommNotice(uint64_t generation, CommNotification kind, uint32_t value, QByteArray block)
    : QEvent(EventType()), Generation(generation), Kind(kind), Value(value), Block(std::move(block))
{
}

QEvent::Type TCommNotice::EventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

TNotifyChannel::TNotifyChannel(QObject *receiver, uint64_t generation)
    : m_receiver(receiver), m_generation(generation)
{
}

bool TNotifyChannel::Post(CommNotification kind, uint32_t value, QByteArray block)
{
    auto event = std::make_unique<TCommNotice>(m_generation, kind, value, std::move(block));
    // Under the lock, so that the receiver cannot go away during the post.
    std::lock_guard lock(m_mutex);
    if (!m_receiver)
        return false;
    HandOverRelease(event.get());
    QCoreApplication::postEvent(m_receiver, event.release());
    return true;
}

void TNotifyChannel::PostHangup()
{
    if (!m_hangupPosted.exchange(true))
        Post(NotifyRequestHangup);
}

void TNotifyChannel::Detach()
{
    std::lock_guard lock(m_mutex);
    m_receiver = nullptr;
}

bool TSendQueue::Push(QByteArray block)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return false;
        m_blocks.push_back(std::move(block));
        m_idle = false;
    }
    m_wake.Set();
    return true;
}

std::optional<QByteArray> TSendQueue::TryPop()
{
    std::lock_guard lock(m_mutex);
    if (m_blocks.empty()) {
        m_idle = true;
        return std::nullopt;
    }
    QByteArray block = std::move(m_blocks.front());
    m_blocks.pop_front();
    return block;
}

void TSendQueue::Close()
{
    std::lock_guard lock(m_mutex);
    m_closed = true;
    m_blocks.clear();
    m_idle = true;
}

TPortLink::TPortLink(std::unique_ptr<TPortFile> port, QObject *receiver, uint64_t generation)
    : port(std::move(port)), notify(receiver, generation)
{
}

void TWorkerThread::Start(std::function<void()> body)
{
    auto end = std::make_shared<TEnd>();
    m_thread = std::thread([end, body = std::move(body)] {
        body();
        std::lock_guard lock(end->mutex);
        end->done = true;
        end->signal.notify_all();
    });
    m_end = std::move(end);
}

bool TWorkerThread::Stop(std::chrono::milliseconds limit)
{
    if (!m_thread.joinable())
        return true;
    std::unique_lock lock(m_end->mutex);
    const bool ended = m_end->signal.wait_for(lock, limit, [this] { return m_end->done; });
    lock.unlock();
    if (ended)
        m_thread.join();
    else
        m_thread.detach();   // never kill it: it may hold a lock
    return ended;
}

// Modem lines have no descriptor poll() could wait on (TIOCMIWAIT blocks out
// of reach of the stop signal), so carrier and ring changes are not reported:
// NotifyModemState is never posted.
void TReadThread::Execute()
{
    m_errorCounts = ReadLineErrorCounts(m_link->Fd());
    try {
        while (ReadBlock()) {
        }
    } catch (const std::bad_alloc &) {
        m_link->notify.PostHangup();
    }
    tcflush(m_link->Fd(), TCIFLUSH);
}

// One read: waits without limit for the first byte (unless a total time-out
// is set), then collects more until the read interval passes without another
// byte or the buffer is full. False ends the worker.
bool TReadThread::ReadBlock()
{
    const auto started = std::chrono::steady_clock::now();
    std::size_t received = 0;
    for (;;) {
        const int waitMs = ReadWaitMs(m_link->timeouts.Load(), received, MsSince(started));
        switch (WaitFor(m_link->Fd(), POLLIN, m_link->closeEvent.Fd(), waitMs)) {
        case TWait::Stop: return false;
        case TWait::Lost: return LoseDevice(received);
        // A total time-out that passes with nothing received is silence.
        case TWait::Timeout: return received == 0 || Deliver(received);
        case TWait::Ready: break;
        }
        const ssize_t got = ::read(m_link->Fd(), m_buffer.data() + received, m_buffer.size() - received);
        if (got > 0) {
            received += std::size_t(got);
            if (received == m_buffer.size())
                return Deliver(received);
        } else if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        } else {
            // Nothing to read although poll() said readable, EIO or ENXIO:
            // the device is gone (unplugged, or the other end closed).
            return LoseDevice(received);
        }
    }
}

bool TReadThread::Deliver(std::size_t count)
{
    ReportLineErrors();
    return m_link->notify.Post(NotifyReceiveData, uint32_t(count), QByteArray(m_buffer.data(), qsizetype(count)));
}

bool TReadThread::LoseDevice(std::size_t received)
{
    if (received > 0)
        Deliver(received);
    m_link->notify.PostHangup();
    return false;
}

void TReadThread::ReportLineErrors()
{
    if (!m_errorCounts)
        return;
    const std::optional<TLineErrorCounts> now = ReadLineErrorCounts(m_link->Fd());
    if (!now)
        return;
    const uint32_t bits = LineErrorsBetween(*m_errorCounts, *now);
    m_errorCounts = now;
    if (bits != 0)
        m_link->notify.Post(NotifyReceiveError, bits);
}

void TWriteThread::Execute()
{
    bool announce = true;   // the owner hears once that the worker starts idle
    try {
        for (;;) {
            const std::optional<QByteArray> block = m_link->sendQueue.TryPop();
            if (!block) {
                if (announce && !m_link->notify.Post(NotifySendEmpty))
                    break;
                announce = false;
                if (!WaitForWork())
                    break;
            } else if (m_link->closeEvent.IsSet() || !WriteBlock(*block)) {
                break;
            } else {
                announce = true;
            }
        }
    } catch (const std::bad_alloc &) {
        m_link->notify.PostHangup();
    }
    tcflush(m_link->Fd(), TCOFLUSH);
    m_link->sendQueue.Close();
}

bool TWriteThread::WaitForWork()
{
    switch (WaitFor(m_link->sendQueue.WakeFd(), POLLIN, m_link->closeEvent.Fd(), -1)) {
    case TWait::Stop: return false;
    case TWait::Ready: m_link->sendQueue.ClearWake(); return true;
    case TWait::Timeout:
    case TWait::Lost: break;
    }
    m_link->notify.PostHangup();
    return false;
}

bool TWriteThread::WriteBlock(const QByteArray &block)
{
    const char *next = block.constData();
    std::size_t left = std::size_t(block.size());
    while (left > 0) {
        const ssize_t written = ::write(m_link->Fd(), next, left);
        if (written > 0) {
            next += written;
            left -= std::size_t(written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno == EAGAIN) {
            const TWait wait = WaitFor(m_link->Fd(), POLLOUT, m_link->closeEvent.Fd(), -1);
            if (wait == TWait::Ready)
                continue;
            if (wait == TWait::Stop)
                return false;
        }
        m_link->notify.PostHangup();
        return false;
    }
    return true;
}
