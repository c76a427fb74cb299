#include "VirtualInstrument.h"

#include "WorkDir.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QThread>

namespace {

// Generous: the program may be built with the sanitizers on a busy machine.
constexpr int StartTimeoutMs = 30000;
constexpr int StopTimeoutMs = 10000;

}  // namespace

VirtualInstrument::VirtualInstrument(const QString &dir, const Setup &setup)
    : m_portPath(QDir(dir).filePath(setup.port)),
      m_logPath(QDir(dir).filePath(QStringLiteral("vinst-%1.log").arg(setup.port)))
{
    QStringList arguments{"--dir", dir, "--port", setup.port, "--log", m_logPath};
    if (!setup.paced)
        arguments << "--no-pace";
    if (!setup.memoryFile.isEmpty())
        arguments << "--memory" << setup.memoryFile;
    if (!setup.registersFile.isEmpty())
        arguments << "--registers" << setup.registersFile;
    arguments << setup.flags;

    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(VINST_PROGRAM), arguments);
    QDeadlineTimer deadline(StartTimeoutMs);
    QByteArray output;
    while (!output.contains("ready\n") && !deadline.hasExpired()
           && m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(static_cast<int>(std::min<qint64>(deadline.remainingTime(), 100)));
        output += m_process.readAllStandardOutput();
    }
    m_ready = output.contains("ready\n");
}

VirtualInstrument::~VirtualInstrument()
{
    stop();
}

int VirtualInstrument::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(StopTimeoutMs)) {
            m_process.kill();
            m_process.waitForFinished(StopTimeoutMs);
        }
    }
    const bool exited = m_process.exitStatus() == QProcess::NormalExit && m_process.error() != QProcess::FailedToStart;
    return exited ? m_process.exitCode() : -1;
}

QStringList VirtualInstrument::logLines() const
{
    return QString::fromLatin1(ReadWholeFile(m_logPath)).split('\n', Qt::SkipEmptyParts);
}

std::vector<QByteArray> VirtualInstrument::loggedBytes(const QString &direction) const
{
    std::vector<QByteArray> frames;
    for (const QString &line : logLines()) {
        const QStringList parts = line.split(' ');
        if (parts.size() > 1 && parts[1] == direction)
            frames.push_back(QByteArray::fromHex(parts.mid(2).join(QString()).toLatin1()));
    }
    return frames;
}

std::vector<QByteArray> VirtualInstrument::receivedFrames() const
{
    return loggedBytes(QStringLiteral("RX"));
}

std::vector<QByteArray> VirtualInstrument::replies() const
{
    return loggedBytes(QStringLiteral("TX"));
}

bool VirtualInstrument::waitForReceived(int count, int msecs) const
{
    QDeadlineTimer deadline(msecs);
    while (static_cast<int>(receivedFrames().size()) < count) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}
