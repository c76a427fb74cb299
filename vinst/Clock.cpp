#include "vinst/Clock.h"

#include <chrono>
#include <ctime>

namespace vinst {

namespace {

constexpr std::int64_t SecondsPerDay = 86400;

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor)
{
    const std::int64_t q = value / divisor;
    return (value % divisor != 0 && value < 0) ? q - 1 : q;
}

}  // namespace

std::int64_t PcLocalMilliseconds()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    return ms.count() + static_cast<std::int64_t>(local.tm_gmtoff) * 1000;
}

CivilTime ToCivil(std::int64_t localSeconds)
{
    using namespace std::chrono;
    const std::int64_t days = FloorDiv(localSeconds, SecondsPerDay);
    const std::int64_t secondOfDay = localSeconds - days * SecondsPerDay;
    const year_month_day date{sys_days{std::chrono::days{days}}};
    CivilTime t;
    t.year = static_cast<int>(date.year());
    t.month = static_cast<int>(static_cast<unsigned>(date.month()));
    t.day = static_cast<int>(static_cast<unsigned>(date.day()));
    t.hour = static_cast<int>(secondOfDay / 3600);
    t.minute = static_cast<int>(secondOfDay / 60 % 60);
    t.second = static_cast<int>(secondOfDay % 60);
    return t;
}

std::optional<std::int64_t> FromCivil(const CivilTime &t)
{
    using namespace std::chrono;
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31)
        return std::nullopt;
    const year_month_day date{year{t.year}, month{static_cast<unsigned>(t.month)},
                              day{static_cast<unsigned>(t.day)}};
    if (!date.ok() || t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0
        || t.second > 59)
        return std::nullopt;
    const std::int64_t days = sys_days{date}.time_since_epoch().count();
    return days * SecondsPerDay + t.hour * 3600 + t.minute * 60 + t.second;
}

std::uint8_t ToBcd(int value)
{
    return static_cast<std::uint8_t>(value / 10 % 10 * 16 + value % 10);
}

std::optional<int> FromBcd(std::uint8_t value)
{
    if ((value >> 4) > 9 || (value & 0x0F) > 9)
        return std::nullopt;
    return (value >> 4) * 10 + (value & 0x0F);
}

InstrumentClock::Registers InstrumentClock::read(std::int64_t nowMs) const
{
    if (m_stopped)
        return *m_stopped;
    const CivilTime t = ToCivil(FloorDiv(nowMs, 1000) + m_offsetSeconds);
    return {ToBcd(t.second), ToBcd(t.minute), ToBcd(t.hour), m_spare,
            ToBcd(t.day),    ToBcd(t.month),  ToBcd(t.year % 100)};
}

void InstrumentClock::set(const Registers &r, std::int64_t nowMs)
{
    m_spare = r[3];
    const auto second = FromBcd(r[0]), minute = FromBcd(r[1]), hour = FromBcd(r[2]);
    const auto day = FromBcd(r[4]), month = FromBcd(r[5]), year = FromBcd(r[6]);
    std::optional<std::int64_t> moment;
    if (second && minute && hour && day && month && year)
        moment = FromCivil({2000 + *year, *month, *day, *hour, *minute, *second});
    if (!moment) {
        m_stopped = r;
        return;
    }
    m_stopped.reset();
    m_offsetSeconds = *moment - FloorDiv(nowMs, 1000);
}

}  // namespace vinst
