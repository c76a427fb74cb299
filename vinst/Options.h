#pragma once
// The command line of the virtual instrument.

#include "vinst/Responder.h"

#include <optional>
#include <string>
#include <vector>

namespace vinst {

struct Options {
    std::string dir;          // where the port's name is put
    std::string port;         // the port's name in it, e.g. COM1
    std::string memoryFile;   // image loaded at start (when present) and saved at exit
    std::string startFile;    // memory dump to start from, never written
    std::string registersFile;  // registers loaded at start (when present) and saved at exit
    std::string logFile;      // traffic log
    bool paced = true;        // replies at the pace of 19200 baud
    bool help = false;        // --help: print the usage, run nothing
    FaultFlags faults;
};

// The options and what they do, for --help and after a refused command line.
std::string UsageText(const std::string &program);

// Nothing, with the reason in `error`, when the arguments are not usable.
std::optional<Options> ParseOptions(const std::vector<std::string> &args, std::string &error);

}  // namespace vinst
