#include "Pty.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal(const QString &linkName)
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        closeMaster();
        return;
    }
    m_slavePath = QString::fromLocal8Bit(ptsname(m_master));

    // On Linux the master's settings are the slave's: this makes both ends
    // raw, so that nothing is echoed or translated before the program opens
    // its side.
    termios raw{};
    tcgetattr(m_master, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_master, TCSANOW, &raw);

    if (!linkName.isEmpty()) {
        m_linkPath = QDir::current().absoluteFilePath(linkName);
        QFile::link(m_slavePath, m_linkPath);
    }
}

PseudoTerminal::~PseudoTerminal()
{
    if (!m_linkPath.isEmpty())
        QFile::remove(m_linkPath);
    closeMaster();
}

bool PseudoTerminal::write(const QByteArray &bytes)
{
    return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

QByteArray PseudoTerminal::read(qsizetype count, int timeoutMs)
{
    QByteArray bytes;
    char chunk[4096];
    while (bytes.size() < count && hasInput(timeoutMs)) {
        const ssize_t got = ::read(m_master, chunk, sizeof chunk);
        if (got <= 0)
            break;   // the program's side is closed
        bytes.append(chunk, got);
    }
    return bytes;
}

bool PseudoTerminal::hasInput(int waitMs)
{
    pollfd p{m_master, POLLIN, 0};
    int ready;
    do
        ready = poll(&p, 1, waitMs);
    while (ready < 0 && errno == EINTR);
    return ready > 0 && (p.revents & POLLIN);
}

void PseudoTerminal::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

termios PseudoTerminal::settings() const
{
    termios t{};
    tcgetattr(m_master, &t);
    return t;
}

static int EntryCount(const QString &directory)
{
    const auto every = QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot;
    return int(QDir(directory).entryList(every).size());
}

int OpenDescriptorCount()
{
    return EntryCount(QStringLiteral("/proc/self/fd"));
}

int ThreadCount()
{
    return EntryCount(QStringLiteral("/proc/self/task"));
}
