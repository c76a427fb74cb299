#pragma once
// The traffic log: one line per event, written and flushed at once.
//
//   HH:MM:SS.mmm RX 3A 06 01 00 00 2E     a request as received
//   HH:MM:SS.mmm TX 3A 34 01 00 00 2E ... one reply as it goes on the line
//                                         (noise and cuts of the fault flags
//                                         included), logged before sending
//   HH:MM:SS.mmm SKIP 12 34               bytes passed over between requests
//   HH:MM:SS.mmm NOTE text                anything else: start, a reply held
//                                         back by a fault flag, unplug, stop
// The time is the PC's local time of day. Hex bytes are upper case, one
// space apart.

#include "vinst/Frame.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace vinst {

std::string FormatLogLine(std::int64_t localMs, const std::string &direction, const std::string &text);

class TrafficLog {
public:
    TrafficLog() = default;
    ~TrafficLog();
    TrafficLog(const TrafficLog &) = delete;
    TrafficLog &operator=(const TrafficLog &) = delete;

    // Starts the file afresh. Without a file the log writes nothing.
    bool open(const std::string &path);

    void bytes(std::int64_t localMs, const std::string &direction, std::span<const std::uint8_t> data);
    void note(std::int64_t localMs, const std::string &text);

private:
    void put(const std::string &line);

    std::FILE *m_file = nullptr;
};

}  // namespace vinst
