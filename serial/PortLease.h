#pragma once
// Who holds a serial port open outside the exchange window. A window that
// keeps a port of its own open takes a lease on it with a text that tells
// the operator who it is; a transfer that finds the port busy asks for that
// text to say why. A lease ends when it is released or destroyed, so a
// holder that goes away never leaves the port marked as held.

#include <QString>

class PortLease {
public:
    PortLease() = default;
    ~PortLease() { Release(); }
    PortLease(const PortLease &) = delete;
    PortLease &operator=(const PortLease &) = delete;

    // Takes `port` for `holder`; false, and nothing taken, when another
    // lease holds it. A lease holds one port: taking another releases the
    // first.
    bool Acquire(const QString &port, const QString &holder);
    void Release();
    bool Held() const { return !m_port.isEmpty(); }

private:
    QString m_port;
};

// The holder's text of the lease on `port`, empty when none holds it.
QString PortHolder(const QString &port);
