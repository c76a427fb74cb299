#include "serial/CommPort.h"

#include "serial/CommEr.h"
#include "serial/PortFinder.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

[[noreturn]] void FailOpening(int error, const QString &path)
{
    throw ECommsError(QStringLiteral("Error opening serial port"), OpenFailureReason(error, path));
}

} // namespace

std::unique_ptr<TPortFile> TPortFile::Open(const QString &path)
{
    std::unique_ptr<TPortFile> port(new TPortFile);
    // Non-blocking, so that opening never waits for a carrier and the workers
    // can wait on the descriptor with poll().
    port->m_fd = ::open(QFile::encodeName(path).constData(),
                        O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (port->m_fd < 0)
        FailOpening(errno, path);

    if (!isatty(port->m_fd)) {
        throw ECommsError(QStringLiteral("File handle is not a comm handle "),
                          QStringLiteral("%1 is not a serial port.").arg(path));
    }

    // The lock keeps out every cooperating program, root's included; TIOCEXCL
    // keeps out any other opener that is not root.
    if (flock(port->m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        // Closed before the reason is worked out, so that the holders it
        // names are the others, not this opener.
        port.reset();
        FailOpening(error, path);
    }
    port->m_exclusive = ioctl(port->m_fd, TIOCEXCL) == 0;
    port->m_haveSettings = tcgetattr(port->m_fd, &port->m_foundSettings) == 0;
    return port;
}

TPortFile::~TPortFile()
{
    if (m_fd < 0)
        return;
    if (m_haveSettings)
        tcsetattr(m_fd, TCSANOW, &m_foundSettings);
    if (m_exclusive)
        ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);   // also releases the lock
}

TEventFd::TEventFd() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

TEventFd::~TEventFd()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void TEventFd::Set()
{
    const uint64_t one = 1;
    // Fails only when the counter is already huge, which leaves it set anyway.
    [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
}

void TEventFd::Clear()
{
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(m_fd, &count, sizeof count);
}

bool TEventFd::IsSet() const
{
    pollfd p{m_fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

QString OpenFailureReason(int error, const QString &port)
{
    return PortFailureCause(error, port);
}
