#include "serial/PortLease.h"

#include <map>

namespace {

// Port name to holder's text; used on the window thread only.
std::map<QString, QString> &Leases()
{
    static std::map<QString, QString> leases;
    return leases;
}

} // namespace

bool PortLease::Acquire(const QString &port, const QString &holder)
{
    if (port == m_port) {
        Leases()[port] = holder;
        return true;
    }
    if (Leases().contains(port))
        return false;
    Release();
    Leases()[port] = holder;
    m_port = port;
    return true;
}

void PortLease::Release()
{
    if (m_port.isEmpty())
        return;
    Leases().erase(m_port);
    m_port.clear();
}

QString PortHolder(const QString &port)
{
    const auto found = Leases().find(port);
    return found == Leases().end() ? QString() : found->second;
}
