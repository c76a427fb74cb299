#include "FadingDevice.h"

#include <fcntl.h>
#include <unistd.h>

FadingDevice::FadingDevice(const QString &port, const QByteArray &memory, int answered)
    : m_pty(port), m_memory(memory), m_answered(answered)
{
    m_slave = ::open(m_pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    m_notifier = std::make_unique<QSocketNotifier>(m_pty.master(), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readLine(); });
}

FadingDevice::~FadingDevice()
{
    m_notifier.reset();
    if (m_slave >= 0)
        ::close(m_slave);
}

void FadingDevice::readLine()
{
    char chunk[512];
    const ssize_t got = ::read(m_pty.master(), chunk, sizeof chunk);
    if (got <= 0)
        return;
    m_pending.append(chunk, got);
    // Memory reads are six bytes: ":" 6 1 aL aH n.
    while (m_pending.size() >= 6) {
        const QByteArray frame = m_pending.left(6);
        m_pending.remove(0, 6);
        m_requests.push_back(frame);
        if (int(m_requests.size()) > m_answered)
            continue;
        const int address = uint8_t(frame[3]) | uint8_t(frame[4]) << 8;
        // The reply gives its own length: the header and the data.
        QByteArray reply = frame;
        reply[1] = char(uint8_t(frame[5]) + 6);
        m_pty.write(reply + m_memory.mid(address, uint8_t(frame[5])));
    }
}
