#pragma once
// An instrument that answers its first few memory reads from a memory image
// and then falls silent, on a pseudo-terminal linked as a port name in the
// working directory.

#include "Pty.h"

#include <QByteArray>
#include <QSocketNotifier>
#include <memory>
#include <vector>

class FadingDevice {
public:
    FadingDevice(const QString &port, const QByteArray &memory, int answered);
    ~FadingDevice();

    // Every request received, one frame each.
    const std::vector<QByteArray> &requests() const { return m_requests; }

private:
    void readLine();

    PseudoTerminal m_pty;
    int m_slave = -1;   // held open, so that the line never hangs up between exchanges
    QByteArray m_memory;
    int m_answered;
    QByteArray m_pending;
    std::vector<QByteArray> m_requests;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
