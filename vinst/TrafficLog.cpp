#include "vinst/TrafficLog.h"

namespace vinst {

std::string FormatLogLine(std::int64_t localMs, const std::string &direction, const std::string &text)
{
    const std::int64_t msOfDay = ((localMs % 86400000) + 86400000) % 86400000;
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", int(msOfDay / 3600000), int(msOfDay / 60000 % 60),
                  int(msOfDay / 1000 % 60), int(msOfDay % 1000));
    return std::string(stamp) + ' ' + direction + ' ' + text;
}

TrafficLog::~TrafficLog()
{
    if (m_file)
        std::fclose(m_file);
}

bool TrafficLog::open(const std::string &path)
{
    m_file = std::fopen(path.c_str(), "w");
    return m_file != nullptr;
}

void TrafficLog::bytes(std::int64_t localMs, const std::string &direction, std::span<const std::uint8_t> data)
{
    put(FormatLogLine(localMs, direction, HexText(data)));
}

void TrafficLog::note(std::int64_t localMs, const std::string &text)
{
    put(FormatLogLine(localMs, "NOTE", text));
}

void TrafficLog::put(const std::string &line)
{
    if (!m_file)
        return;
    std::fputs(line.c_str(), m_file);
    std::fputc('\n', m_file);
    std::fflush(m_file);
}

}  // namespace vinst
