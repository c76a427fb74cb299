#include "vinst/Port.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace vinst {

namespace {

constexpr auto ByteTime = std::chrono::nanoseconds(1'000'000'000LL * 10 / 19200);
constexpr std::size_t PaceChunk = 4;
constexpr int DeliveryTimeoutMs = 1000;

std::string SystemError(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

bool MakeRaw(int fd)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B19200);
    ::cfsetospeed(&settings, B19200);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

bool IsLinkTo(const std::string &linkPath, const std::string &target)
{
    char buffer[4096];
    const ssize_t n = ::readlink(linkPath.c_str(), buffer, sizeof buffer);
    return n > 0 && std::string(buffer, static_cast<std::size_t>(n)) == target;
}

}  // namespace

bool PlaceLink(const std::string &target, const std::string &linkPath, std::string &error)
{
    struct stat info{};
    if (::lstat(linkPath.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        error = linkPath + " exists and is not a symbolic link; it is left alone";
        return false;
    }
    // A fresh link renamed over the old one: the name never goes missing.
    const std::string temp = linkPath + ".vinst-" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0) {
        error = SystemError("cannot create " + temp);
        return false;
    }
    if (::rename(temp.c_str(), linkPath.c_str()) != 0) {
        error = SystemError("cannot place " + linkPath);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

VirtualPort::~VirtualPort()
{
    unplug();
}

bool VirtualPort::open(const std::string &linkPath, std::string &error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        error = SystemError("cannot create a pseudo-terminal");
        unplug();
        return false;
    }
    const char *slaveName = ::ptsname(m_master);
    m_slavePath = slaveName ? slaveName : "";
    m_slave = m_slavePath.empty() ? -1 : ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (m_slave < 0 || !MakeRaw(m_slave) || !MakeRaw(m_master)) {
        error = SystemError("cannot set up the pseudo-terminal");
        unplug();
        return false;
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    if (!PlaceLink(m_slavePath, linkPath, error)) {
        unplug();
        return false;
    }
    m_linkPath = linkPath;
    watchOpenings();
    return true;
}

void VirtualPort::watchOpenings()
{
    // Without the watch the port still works; only a crashed program's flag
    // then stays until the instrument is restarted.
    m_watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_watch >= 0 && ::inotify_add_watch(m_watch, m_slavePath.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        ::close(m_watch);
        m_watch = -1;
    }
    m_openers = 0;
}

void VirtualPort::noteOpenings()
{
    alignas(inotify_event) char buffer[4096];
    bool closed = false;
    ssize_t n;
    while ((n = ::read(m_watch, buffer, sizeof buffer)) > 0) {
        for (char *at = buffer; at < buffer + n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(at);
            if (event->mask & IN_OPEN)
                ++m_openers;
            if (event->mask & IN_CLOSE)
                --m_openers;
            if (event->mask & IN_Q_OVERFLOW)
                m_openers = 0;   // the count is lost: take the port as left
            closed = closed || (event->mask & (IN_CLOSE | IN_Q_OVERFLOW));
            at += sizeof(inotify_event) + event->len;
        }
    }
    if (closed && m_openers <= 0) {
        m_openers = 0;
        ::ioctl(m_slave, TIOCNXCL);
    }
}

void VirtualPort::unplug()
{
    // Only our own link goes: another instrument may have taken the name.
    if (!m_linkPath.empty() && IsLinkTo(m_linkPath, m_slavePath))
        ::unlink(m_linkPath.c_str());
    m_linkPath.clear();
    if (m_watch >= 0)
        ::close(m_watch);
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_watch = m_slave = m_master = -1;
}

void VirtualPort::waitUntilTaken(int msecs)
{
    // Bytes reach the other end's queue a moment after the write, so an
    // empty queue means little until it has been seen full or a while passed.
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto settled = start + std::chrono::milliseconds(50);
    const auto deadline = start + std::chrono::milliseconds(msecs);
    bool seenWaiting = false;
    while (m_slave >= 0 && Clock::now() < deadline) {
        int waiting = 0;
        if (::ioctl(m_slave, TIOCINQ, &waiting) != 0)
            return;
        seenWaiting = seenWaiting || waiting > 0;
        if (waiting == 0 && (seenWaiting || Clock::now() > settled))
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::size_t VirtualPort::receive(std::uint8_t *buffer, std::size_t capacity)
{
    if (m_master < 0)
        return 0;
    const ssize_t n = ::read(m_master, buffer, capacity);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

void VirtualPort::send(std::span<const std::uint8_t> bytes, bool paced)
{
    if (!paced) {
        writeAll(bytes);
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t chunk = std::min(PaceChunk, bytes.size() - done);
        if (!writeAll(bytes.subspan(done, chunk)))
            return;
        done += chunk;
        std::this_thread::sleep_until(start + ByteTime * done);
    }
}

bool VirtualPort::writeAll(std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty() && m_master >= 0) {
        const ssize_t n = ::write(m_master, bytes.data(), bytes.size());
        if (n > 0) {
            bytes = bytes.subspan(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        pollfd writable{m_master, POLLOUT, 0};
        if (n < 0 && errno == EAGAIN && ::poll(&writable, 1, DeliveryTimeoutMs) > 0)
            continue;
        return false;
    }
    return bytes.empty();
}

}  // namespace vinst
